// Prints what the npm package pst-extractor reads from a PST file, as one JSON object.
//
// Usage: node pst_extractor_dump.js FILE.pst NODE_MODULES_DIR
// Output: {"ok", "storeName", "ipmSubtreeNid", "folders": [...]}; each folder has path (display
// names from the root folder down, joined by "/"), nid, name, containerClass, contentCount,
// subFolderCount (null where the reader throws, as it does for search folders), itemCount (the
// children getNextChild() yields) and items with fields read through the reader's getters
// (messageClass, subject, displayName, and for contacts givenName, surname, fileUnder,
// email1EmailAddress ...; for distribution lists distListMembers and distListOneOffMembers, the
// number of entries of each member list), and "error" when the reader threw while listing the folder's items
// or subfolders. On failure: {"ok": false, "error": "..."} and exit status 1.
'use strict';
const path = require('path');
let OutlookProperties = null;   // set in main() from the installed package

const CONTACT_GETTERS = ['givenName', 'surname', 'fileUnder', 'email1EmailAddress', 'email1DisplayName',
  'email2EmailAddress', 'email3EmailAddress', 'companyName', 'title', 'middleName', 'nickname',
  'businessTelephoneNumber', 'homeTelephoneNumber', 'mobileTelephoneNumber'];

function safe(fn) {
  try {
    const v = fn();
    if (v === undefined || v === null) return null;
    return typeof v === 'object' && typeof v.toNumber === 'function' ? v.toNumber() : v;
  } catch (e) {
    return null;
  }
}

function dumpItem(it) {
  const fields = {};
  for (const key of ['messageClass', 'subject', 'displayName']) {
    const v = safe(() => it[key]);
    if (v !== null) fields[key] = String(v);
  }
  if (fields.messageClass === 'IPM.DistList') {
    // This version has no class for distribution lists and no getter for multi-valued binaries:
    // the member lists are read from the item's own property table (count of entries).
    for (const [key, lid] of [['distListMembers', 0x8055], ['distListOneOffMembers', 0x8054]]) {
      const v = safe(() => {
        const entry = it.pstTableItems.get(it.pstFile.getNameToIdMapItem(lid, OutlookProperties.PSETID_Address));
        return entry && entry.data && entry.data.length >= 4 ? Buffer.from(entry.data).readUInt32LE(0) : null;
      });
      if (v !== null) fields[key] = String(v);
    }
  }
  if (it.constructor && it.constructor.name === 'PSTContact') {
    for (const key of CONTACT_GETTERS) {
      const v = safe(() => it[key]);
      if (v !== null) fields[key] = String(v);
    }
  }
  return { nid: safe(() => it.descriptorNodeId), kind: it.constructor ? it.constructor.name : '', fields };
}

function dumpFolder(folder, folderPath, out) {
  const entry = {
    path: folderPath,
    nid: safe(() => folder.descriptorNodeId),
    name: safe(() => folder.displayName) || '',
    containerClass: safe(() => folder.containerClass),
    contentCount: safe(() => folder.contentCount),
    subFolderCount: safe(() => folder.subFolderCount),
    itemCount: 0,
    items: [],
  };
  if (entry.containerClass === '') entry.containerClass = null;
  out.push(entry);
  // Enumerate whatever the contents table holds, whatever the folder's count claims.
  try {
    let child = folder.getNextChild();
    while (child) {
      entry.items.push(dumpItem(child));
      child = folder.getNextChild();
    }
  } catch (e) {
    entry.error = 'getNextChild: ' + String(e && e.message ? e.message : e);
  }
  entry.itemCount = entry.items.length;
  let subs = [];
  try {
    subs = folder.hasSubfolders ? folder.getSubFolders() : [];
  } catch (e) {
    entry.error = (entry.error ? entry.error + '; ' : '') + 'getSubFolders: ' + String(e && e.message ? e.message : e);
  }
  for (const sub of subs) {
    const name = safe(() => sub.displayName) || '';
    dumpFolder(sub, folderPath ? folderPath + '/' + name : name, out);
  }
}

function main() {
  const file = process.argv[2];
  const modules = process.argv[3];
  const { PSTFile } = require(path.join(path.resolve(modules), 'pst-extractor'));
  ({ OutlookProperties } = require(path.join(path.resolve(modules), 'pst-extractor', 'dist', 'OutlookProperties')));
  const pst = new PSTFile(file);
  const store = pst.getMessageStore();
  let ipm = null;
  const items = store.pstTableItems;
  if (items && items.get(0x35e0) && items.get(0x35e0).data && items.get(0x35e0).data.length >= 24) {
    ipm = Buffer.from(items.get(0x35e0).data).readUInt32LE(20);
  }
  const folders = [];
  const root = pst.getRootFolder();
  for (const sub of root.getSubFolders()) dumpFolder(sub, safe(() => sub.displayName) || '', folders);
  process.stdout.write(JSON.stringify({ ok: true, storeName: store.displayName, ipmSubtreeNid: ipm, folders }) + '\n');
}

try {
  main();
} catch (e) {
  process.stdout.write(JSON.stringify({ ok: false, error: String(e && e.stack ? e.stack.split('\n')[0] : e) }) + '\n');
  process.exit(1);
}
