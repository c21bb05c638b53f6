#!/bin/bash
# Writes the inputs of this golden folder that are made from others: the Word files and the PDF
# LibreOffice Writer (`scripts/setup --fixtures` installs it) saves from the flat ODF texts in
# sources/, Word archives around the document parts in sources/parts/ (a text box as Word 2007
# wrote it, VML only), the report cut short, and pictures whose headers claim 16000 or 20000
# pixels a side (ImageMagick makes the JPEGs). The other inputs (text in several encodings,
# hand-written PDFs, files that are not what their names say, meeting.doc) are kept as they are:
# `xxd` shows each whole. The expected .json files are not written: run file_extraction_tests,
# read each NAME.fail it writes and copy it over NAME.json once it is right.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for format in 'docx:MS Word 2007 XML' pdf; do
    soffice "-env:UserInstallation=file://$work/profile" --headless --convert-to "$format" \
        --outdir "$here" "$here/sources/${format%%:*}"/*.fodt >/dev/null
done
# An archive is read as one whatever its extension.
cp "$here/paragraphs.docx" "$here/archive named doc.doc"

/usr/bin/python3 - "$here" <<'EOF'
import glob, os, struct, subprocess, sys, zipfile, zlib

here = sys.argv[1]
types = open(f"{here}/sources/content-types.xml").read()
for part in glob.glob(f"{here}/sources/parts/*.xml"):
    name = os.path.splitext(os.path.basename(part))[0]
    with zipfile.ZipFile(f"{here}/{name}.docx", "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr("[Content_Types].xml", types)
        archive.write(part, "word/document.xml")
with zipfile.ZipFile(f"{here}/no document part.docx", "w") as archive:
    archive.writestr("[Content_Types].xml", types)


def write(name, data):
    with open(f"{here}/{name}", "wb") as out:
        out.write(data)


with open(f"{here}/report.pdf", "rb") as report:
    pdf = report.read()
write("report cut in half.pdf", pdf[:len(pdf) // 2])
write("report cut before its end.pdf", pdf[:-20])


def png(width, height, rows):  # grey, 8 bits
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))
    header = struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


write("blank.png", png(800, 600, (b"\0" + b"\xff" * 800) * 600))
write("huge png claim.png", png(20000, 20000, b"\0" + b"\0" * 20000))  # one row of many


def jpeg_claiming(side, *options):
    tile = subprocess.run(["/usr/bin/convert", "-size", "16x16", "xc:gray", *options, "jpg:-"],
                          check=True, capture_output=True).stdout
    frame = max(tile.find(b"\xff\xc0"), tile.find(b"\xff\xc2"))
    return tile[:frame + 5] + struct.pack(">HH", side, side) + tile[frame + 9:]


write("huge jpeg claim.jpg", jpeg_claiming(20000))
write("progressive claim.jpg", jpeg_claiming(16000, "-interlace", "JPEG"))
EOF
