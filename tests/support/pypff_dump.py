#!/usr/bin/python3
"""Prints what libpff's Python binding (pypff) reads from a PST file, as one JSON object.

Usage: /usr/bin/python3 pypff_dump.py FILE.pst
Output: {"ok", "storeName", "ipmSubtreeNid", "encryption", "folders": [...], "namedProps": [...]}
Each folder: path (names from the root folder down, joined by "/"), nid, name, containerClass
(0x3613), contentCount (0x3602), itemCount (messages pypff enumerates) and items. Each item:
nid, fields (messageClass, subject, displayName, givenName, surname, fileUnder,
email1EmailAddress ... as text) and props (id, type, hex of the raw value, and for named
properties the name they map to, "{GUID}/0xLID" or "{GUID}/name").
On failure: {"ok": false, "error": "..."} and exit status 1.
"""
import json
import struct
import sys

PS_MAPI = "{00020328-0000-0000-C000-000000000046}"
PS_PUBLIC_STRINGS = "{00020329-0000-0000-C000-000000000046}"
PSETID_ADDRESS = "{00062004-0000-0000-C000-000000000046}"

TAG_FIELDS = {0x001A: "messageClass", 0x0037: "subject", 0x3001: "displayName", 0x3A06: "givenName",
              0x3A11: "surname", 0x3A16: "companyName", 0x3A17: "title"}
NAMED_FIELDS = {(PSETID_ADDRESS, 0x8005): "fileUnder", (PSETID_ADDRESS, 0x8083): "email1EmailAddress",
                (PSETID_ADDRESS, 0x8080): "email1DisplayName", (PSETID_ADDRESS, 0x8093): "email2EmailAddress",
                (PSETID_ADDRESS, 0x80A3): "email3EmailAddress"}


def guid_text(b):
    d1, d2, d3 = struct.unpack_from("<IHH", b, 0)
    rest = b[8:16].hex().upper()
    return "{%08X-%04X-%04X-%s-%s}" % (d1, d2, d3, rest[:4], rest[4:])


def entries_of(item):
    if item.number_of_record_sets == 0:
        return []
    return list(item.get_record_set(0).entries)


def raw(entry):
    try:
        return entry.data or b""
    except Exception:
        return b""


def text(entry):
    data = raw(entry)
    if entry.value_type == 0x001F:
        return data.decode("utf-16-le", errors="replace")
    if entry.value_type == 0x001E:
        return data.decode("latin-1")
    if entry.value_type == 0x0003 and len(data) >= 4:
        return str(struct.unpack_from("<i", data)[0])
    if entry.value_type == 0x000B and data:
        return "true" if data[0] else "false"
    return data.hex()


def decode_name_map(f):
    """NPID -> "{GUID}/0xLID" or "{GUID}/name", from the raw name-to-ID map ([MS-PST] 2.4.7)."""
    streams = {}
    for e in entries_of(f.get_name_to_id_map()):
        streams[e.entry_type] = raw(e)
    guids = streams.get(0x0002, b"")
    records = streams.get(0x0003, b"")
    strings = streams.get(0x0004, b"")
    out = {}
    for i in range(0, len(records) - 7, 8):
        prop_id, word, idx = struct.unpack_from("<IHH", records, i)
        wguid = word >> 1
        if wguid == 1:
            guid = PS_MAPI
        elif wguid == 2:
            guid = PS_PUBLIC_STRINGS
        elif wguid >= 3 and (wguid - 3) * 16 + 16 <= len(guids):
            guid = guid_text(guids[(wguid - 3) * 16:(wguid - 2) * 16])
        else:
            guid = "?"
        if word & 1:
            length = struct.unpack_from("<I", strings, prop_id)[0] if prop_id + 4 <= len(strings) else 0
            name = strings[prop_id + 4:prop_id + 4 + length].decode("utf-16-le", errors="replace")
            out[0x8000 + idx] = {"guid": guid, "name": name}
        else:
            out[0x8000 + idx] = {"guid": guid, "lid": prop_id}
    return out


def named_key(entry):
    return entry["guid"] + "/" + (entry["name"] if "name" in entry else "0x%04X" % entry["lid"])


def dump_item(item, names):
    fields, props = {}, []
    for e in entries_of(item):
        pid = e.entry_type
        prop = {"id": pid, "type": e.value_type, "hex": raw(e).hex()}
        if pid in TAG_FIELDS:
            fields[TAG_FIELDS[pid]] = text(e)
        if pid >= 0x8000 and pid in names:
            n = names[pid]
            prop["named"] = named_key(n)
            if "lid" in n and (n["guid"], n["lid"]) in NAMED_FIELDS:
                fields[NAMED_FIELDS[(n["guid"], n["lid"])]] = text(e)
        props.append(prop)
    return fields, props


def dump_folder(folder, path, names, out):
    fields, _ = dump_item(folder, names)
    container, count = None, None
    for e in entries_of(folder):
        if e.entry_type == 0x3613:
            container = text(e)
        elif e.entry_type == 0x3602:
            count = int(text(e))
    items = []
    for i in range(folder.number_of_sub_messages):
        m = folder.get_sub_message(i)
        f, p = dump_item(m, names)
        items.append({"nid": m.identifier, "fields": f, "props": p})
    out.append({"path": path, "nid": folder.identifier, "name": folder.name or "", "containerClass": container,
                "contentCount": count, "itemCount": folder.number_of_sub_messages, "items": items})
    for i in range(folder.number_of_sub_folders):
        sub = folder.get_sub_folder(i)
        dump_folder(sub, (path + "/" if path else "") + (sub.name or ""), names, out)


def main():
    import pypff
    f = pypff.file()
    f.open(sys.argv[1])
    names = decode_name_map(f)
    store_name, ipm = "", None
    for e in entries_of(f.get_message_store()):
        if e.entry_type == 0x3001:
            store_name = text(e)
        elif e.entry_type == 0x35E0 and len(raw(e)) >= 24:
            ipm = struct.unpack_from("<I", raw(e), 20)[0]
    folders = []
    root = f.get_root_folder()
    for i in range(root.number_of_sub_folders):
        sub = root.get_sub_folder(i)
        dump_folder(sub, sub.name or "", names, folders)
    result = {"ok": True, "storeName": store_name, "ipmSubtreeNid": ipm, "encryption": f.encryption_type,
              "folders": folders,
              "namedProps": [dict(npid=k, **v) for k, v in sorted(names.items())]}
    json.dump(result, sys.stdout, ensure_ascii=True)
    sys.stdout.write("\n")


if __name__ == "__main__":
    try:
        main()
    except Exception as exc:  # the reader's own message is what the tests report
        json.dump({"ok": False, "error": "%s: %s" % (type(exc).__name__, exc)}, sys.stdout)
        sys.stdout.write("\n")
        sys.exit(1)
