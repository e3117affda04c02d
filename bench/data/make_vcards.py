#!/usr/bin/env python3
"""Writes realistic synthetic vCard files for the benchmarks.

vCard 2.1, 3.0 and 4.0 mixed; Unicode names; several e-mails, phones and addresses; optional
small JPEG photos; spread over a tree of folders. The output is the same for the same
arguments, so figures can be compared between runs.

  make_vcards.py OUT_DIR --contacts 10000 [--folders 100] [--photo-share 0.1] [--per-file 1]
"""
import argparse
import base64
import os
import random

GIVEN = ["Ann", "Bob", "Chloé", "Dmitri", "Eva", "François", "Gül", "Hiroshi", "Inés", "Jürgen",
         "Katarzyna", "Łukasz", "Mårten", "Nikolaos", "Øyvind", "Priya", "Qiu", "Rūta", "Søren", "Tomás",
         "Ülkü", "Václav", "Wen", "Xóchitl", "Yael", "Zoë", "Александр", "Μαρία", "李", "さくら"]
FAMILY = ["Smith", "Müller", "García", "Novák", "Kowalski", "Østergaard", "Nakamura", "Öztürk", "Dubois",
          "Rossi", "Jensen", "Papadopoulos", "Иванов", "O'Brien", "van der Berg", "Żak", "Ng", "Silva",
          "Kim", "Lefèvre"]
COMPANIES = ["Acme Corp", "Globex", "Initech", "Umbrella, Inc.", "Stark Industries", "Wayne Enterprises",
             "Zentra Software", "Société Générale d'Import", "Müller & Söhne GmbH"]
CITIES = [("Berlin", "BE", "10115", "Germany"), ("Paris", "", "75001", "France"),
          ("Springfield", "IL", "62701", "USA"), ("Kraków", "", "30-001", "Poland"),
          ("Tokyo", "", "100-0001", "Japan"), ("Αθήνα", "", "105 57", "Greece")]

# A tiny valid JPEG (2x2 grey), enough to exercise the photo path without big files.
TINY_JPEG = bytes.fromhex(
    "ffd8ffe000104a46494600010100000100010000ffdb004300080606070605080707070909080a0c140d0c0b0b0c1912"
    "130f141d1a1f1e1d1a1c1c20242e2720222c231c1c2837292c30313434341f27393d38323c2e333432ffc0000b08000200"
    "020101110000ffc4001f0000010501010101010100000000000000000102030405060708090a0bffc400b5100002010303"
    "020403050504040000017d01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282"
    "090a161718191a25262728292a3435363738393a434445464748494a535455565758595a636465666768696a73747576"
    "7778797a838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9ca"
    "d2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9faffda0008010100003f00fbd3ffd9")


def qp(text):
    out = []
    for b in text.encode("utf-8"):
        out.append(chr(b) if 33 <= b <= 126 and b != 61 else "=%02X" % b)
    return "".join(out)


def card(rng, n, photo):
    version = rng.choice(["2.1", "3.0", "3.0", "4.0"])
    given, family = rng.choice(GIVEN), rng.choice(FAMILY)
    company = rng.choice(COMPANIES)
    lines = ["BEGIN:VCARD", "VERSION:" + version]
    if version == "2.1":
        lines.append("N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:%s;%s;;;" % (qp(family), qp(given)))
        lines.append("FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:%s" % qp(given + " " + family))
    else:
        lines.append("N:%s;%s;;;" % (family, given))
        lines.append("FN:%s %s" % (given, family))
    lines.append("ORG:%s;Sales" % company.replace(",", "\\,"))
    lines.append("TITLE:Account Manager %d" % (n % 7))
    user = "%s.%s%d" % (given.lower()[:3], family.lower()[:4].replace(" ", ""), n)
    for i, kind in enumerate(["work", "home", "other"][: rng.randint(1, 3)]):
        t = ("EMAIL;%s;INTERNET" % kind.upper()) if version == "2.1" else "EMAIL;TYPE=%s" % kind
        lines.append("%s:%s@example%d.com" % (t, user, i))
    for kind in ["work", "home", "cell", "fax"][: rng.randint(1, 4)]:
        t = ("TEL;%s" % kind.upper()) if version == "2.1" else "TEL;TYPE=%s" % kind
        lines.append("%s:+49 30 %07d" % (t, rng.randint(0, 9999999)))
    for kind in ["home", "work"][: rng.randint(1, 2)]:
        city, region, code, country = rng.choice(CITIES)
        t = ("ADR;%s" % kind.upper()) if version == "2.1" else "ADR;TYPE=%s" % kind
        street = "%d Main Street" % rng.randint(1, 999)
        if version == "2.1":
            lines.append("%s;CHARSET=UTF-8:;;%s;%s;%s;%s;%s" % (t, street, city, region, code, country))
        else:
            lines.append("%s:;;%s;%s;%s;%s;%s" % (t, street, city, region, code, country))
    lines.append("BDAY:19%02d-%02d-%02d" % (rng.randint(40, 99), rng.randint(1, 12), rng.randint(1, 28)))
    lines.append("NOTE:Met at the %d conference\\, follow up." % (2000 + n % 25))
    lines.append("CATEGORIES:Customers,Region %d" % (n % 5))
    lines.append("URL:https://example.com/%s" % user)
    if photo:
        data = base64.b64encode(TINY_JPEG).decode()
        if version == "4.0":
            lines.append("PHOTO:data:image/jpeg;base64," + data)
        elif version == "3.0":
            lines.append("PHOTO;ENCODING=b;TYPE=JPEG:" + data)
        else:
            lines.append("PHOTO;ENCODING=BASE64;TYPE=JPEG:")
            lines.extend(" " + data[i:i + 72] for i in range(0, len(data), 72))
            lines.append("")
    lines.append("UID:urn:uuid:%08x-0000-4000-8000-%012x" % (n, n))
    lines.append("END:VCARD")
    return "\r\n".join(lines) + "\r\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("out")
    ap.add_argument("--contacts", type=int, default=10000)
    ap.add_argument("--folders", type=int, default=100)
    ap.add_argument("--photo-share", type=float, default=0.0)
    ap.add_argument("--per-file", type=int, default=1, help="cards per file")
    ap.add_argument("--variant", type=int, default=1, help="changes the generated data")
    args = ap.parse_args()
    rng = random.Random(args.variant)
    folders = []
    for f in range(args.folders):
        parts = ["group%02d" % (f % 10), "team%03d" % f]
        folders.append(os.path.join(args.out, *parts))
    for d in folders:
        os.makedirs(d, exist_ok=True)
    total_bytes = 0
    n = 0
    file_no = 0
    while n < args.contacts:
        folder = folders[file_no % len(folders)]
        # Card by card, so a file of a million cards never sits in memory whole.
        with open(os.path.join(folder, "contact%06d.vcf" % file_no), "wb") as fh:
            for _ in range(min(args.per_file, args.contacts - n)):
                text = card(rng, n, rng.random() < args.photo_share).encode("utf-8")
                fh.write(text)
                total_bytes += len(text)
                n += 1
        file_no += 1
    print("%d contacts in %d files, %d folders, %d bytes" % (n, file_no, len(folders), total_bytes))


if __name__ == "__main__":
    main()
