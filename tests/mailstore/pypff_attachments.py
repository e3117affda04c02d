#!/usr/bin/python3
"""Prints the attachments of every message in one folder below the IPM subtree, as libpff
reads them: one JSON line per attachment with the message's position, the attachment's data
(hex) and its properties (id, type, raw value in hex).

  pypff_attachments.py FILE.pst FOLDER_NAME
"""
import json
import sys


def entries_of(item):
    out = []
    for i in range(item.number_of_record_sets):
        rs = item.get_record_set(i)
        for j in range(rs.number_of_entries):
            e = rs.get_entry(j)
            out.append({"id": e.entry_type, "type": e.value_type, "hex": (e.data or b"").hex()})
    return out


def find_folder(folder, name):
    for i in range(folder.number_of_sub_folders):
        sub = folder.get_sub_folder(i)
        if sub.name == name:
            return sub
        found = find_folder(sub, name)
        if found is not None:
            return found
    return None


def main():
    import pypff
    f = pypff.file()
    f.open(sys.argv[1])
    folder = find_folder(f.get_root_folder(), sys.argv[2])
    if folder is None:
        print(json.dumps({"error": "no folder " + sys.argv[2]}))
        return 1
    for m in range(folder.number_of_sub_messages):
        message = folder.get_sub_message(m)
        for a in range(message.number_of_attachments):
            att = message.get_attachment(a)
            size = att.get_size()
            data = att.read_buffer(size) if size else b""
            print(json.dumps({"message": m, "attachment": a, "size": size, "data": data.hex(),
                              "props": entries_of(att)}))
    return 0


if __name__ == "__main__":
    sys.exit(main())
