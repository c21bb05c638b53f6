#!/bin/bash
# Writes the inputs of this golden folder but meeting.doc: .docx files saved by LibreOffice Writer
# (`scripts/setup --fixtures` installs it) from the flat ODF texts below; broken archives, text
# in several encodings, hand-made PDFs and pictures that lie about themselves, written by Python
# (and ImageMagick for the JPEGs). The expected .json files are not written: run
# file_extraction_tests, read each NAME.fail it writes and copy it over NAME.json once it is right.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

document() { # NAME BODY
    cat >"$work/$1.fodt" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<office:document office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text"
 xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:dc="http://purl.org/dc/elements/1.1/">
<office:automatic-styles>
 <style:style style:name="B" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
</office:automatic-styles>
<office:body><office:text>$2</office:text></office:body></office:document>
EOF
}

document paragraphs '
<text:h text:outline-level="1">项目评审会议</text:h>
<text:p>周五下午三点 <text:span text:style-name="B">review</text:span> &amp; plan</text:p>
<text:p>地点<text:tab/>三楼会议室<text:line-break/>Room 301</text:p>
<text:p/>
<text:h text:outline-level="2">Agenda</text:h>
<text:p><text:s text:c="2"/>two leading spaces, one trailing<text:s/></text:p>'

document table '
<text:p>Schedule 日程</text:p>
<table:table table:name="Schedule">
 <table:table-column table:number-columns-repeated="2"/>
 <table:table-row><table:table-cell><text:p>时间</text:p></table:table-cell>
  <table:table-cell><text:p>事项</text:p></table:table-cell></table:table-row>
 <table:table-row><table:table-cell><text:p>9:30</text:p></table:table-cell>
  <table:table-cell><text:p>站会</text:p><text:p>Stand-up</text:p></table:table-cell></table:table-row>
</table:table>
<text:p>After the table</text:p>'

document list '
<text:p>待办 To do</text:p>
<text:list><text:list-item><text:p>订会议室</text:p></text:list-item>
 <text:list-item><text:p>Send the invite</text:p>
  <text:list><text:list-item><text:p>nested item 子项</text:p></text:list-item></text:list>
 </text:list-item></text:list>
<text:p>Done</text:p>'

document revisions-fields '
<text:tracked-changes>
 <text:changed-region text:id="c1"><text:deletion><office:change-info>
  <dc:creator>Editor</dc:creator><dc:date>2026-03-01T08:00:00</dc:date></office:change-info>
  <text:p>周四</text:p></text:deletion></text:changed-region>
</text:tracked-changes>
<text:p>会议改到<text:change text:change-id="c1"/>周五</text:p>
<text:p>Page <text:page-number text:select-page="current">1</text:page-number></text:p>'

document 'empty document' '<text:p/>'

soffice "-env:UserInstallation=file://$work/profile" --headless \
    --convert-to 'docx:MS Word 2007 XML' --outdir "$here" "$work"/*.fodt >/dev/null
# A PDF with a text layer, as Writer exports it; the python below cuts it short.
document report '
<text:h text:outline-level="1">季度计划 Quarterly planning</text:h>
<text:p>周一上午十点 kick-off</text:p>'
soffice "-env:UserInstallation=file://$work/profile" --headless \
    --convert-to pdf --outdir "$here" "$work/report.fodt" >/dev/null
# An archive is read as one whatever its extension.
cp "$here/paragraphs.docx" "$here/archive named doc.doc"

/usr/bin/python3 - "$here" <<'EOF'
import struct, subprocess, sys, zipfile, zlib

here = sys.argv[1]


def write(name, data):
    with open(f"{here}/{name}", "wb") as out:
        out.write(data)


types = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/'
         'package/2006/content-types"><Override PartName="/word/document.xml" ContentType="application/'
         'vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>')
parts = {
    "empty part": "",
    "not well formed": "<w:document><w:p>",
    "entity": '<?xml version="1.0"?><!DOCTYPE d [<!ENTITY a "aaaaaaaaaa">]><d>&a;</d>',
    # A text box as Word 2007 wrote it (VML only): its paragraphs sit inside the outer one.
    "text box": '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/'
                'main"><w:body><w:p><w:r><w:t>Before the box</w:t></w:r><w:r><w:pict>'
                '<w:txbxContent><w:p><w:r><w:t>框内文字 boxed</w:t></w:r></w:p></w:txbxContent>'
                '</w:pict></w:r><w:r><w:t xml:space="preserve"> after it</w:t></w:r></w:p>'
                '<w:p><w:r><w:t>Last</w:t></w:r></w:p></w:body></w:document>',
}
for name, document in parts.items():
    with zipfile.ZipFile(f"{here}/{name}.docx", "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr("[Content_Types].xml", types)
        archive.writestr("word/document.xml", document)
with zipfile.ZipFile(f"{here}/no document part.docx", "w") as archive:
    archive.writestr("[Content_Types].xml", types)
write("not an archive.docx", b"just text")
write("torn archive.docx", b"PK\x03\x04" + b"\x07" * 200)

# Plain text is read as it is, whatever the extension's case; its encoding is found.
write("notes.MD", "明天 10:00 开会\n  agenda  \n".encode())
write("raw.rtf", b"{\\rtf1 x}")
write("page.HTML", "<p>会议</p>".encode())
write("spaces.txt", b"   ")
write("byte order mark.txt", b"\xef\xbb\xbfhi")
write("gbk.txt", "会议".encode("gbk"))
write("utf-16le with mark.txt", b"\xff\xfe" + "会议".encode("utf-16-le"))
write("utf-16be without mark.txt", "9:3".encode("utf-16-be"))
write("neither utf-8 nor gb18030.txt", b"a\x80z")
write("nul bytes.txt", b"ab\0\0\0cd")
write("binary.txt", b"\0" * 64 + b"ab")
write("empty.txt", b"")
for name in ("plan.pages", "budget.XLSX", "README"):
    write(name, b"text")

# PDFs: no pages; a user password (standard security, revision 2) no empty password opens;
# nothing at all; a header over nothing.
write("no pages.pdf", b"%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
      b"2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n"
      b"trailer\n<< /Size 3 /Root 1 0 R >>\n%%EOF\n")
entry = b"5a" * 32
write("encrypted.pdf", b"%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
      b"2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n"
      b"3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>\nendobj\n"
      b"4 0 obj\n<< /Filter /Standard /V 1 /R 2 /P -44 /O <" + entry + b"> /U <" + entry +
      b"> >>\nendobj\ntrailer\n<< /Size 5 /Root 1 0 R /Encrypt 4 0 R /ID "
      b"[<00112233445566778899aabbccddeeff><00112233445566778899aabbccddeeff>] >>\n%%EOF\n")
write("zero bytes.pdf", b"")
write("not really.pdf", b"%PDF-1.4 not really")
with open(f"{here}/report.pdf", "rb") as report:
    pdf = report.read()
write("report cut in half.pdf", pdf[:len(pdf) // 2])
write("report cut before its end.pdf", pdf[:-20])


# Pictures: undecodable ones, a blank page, and headers that claim 16000 or 20000 pixels a side.
def png(width, height, colour_type, rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


write("garbage.png", b"not a picture at all")
write("empty picture.jpg", b"")
write("phone.heic", b"\0\0\0\x18ftypheic")
write("blank.png", png(800, 600, 0, (b"\0" + b"\xff" * 800) * 600))
write("huge png claim.png", png(20000, 20000, 0, b"\0" + b"\0" * 20000))  # one row of many


def jpeg_claiming(side, *options):
    tile = subprocess.run(["/usr/bin/convert", "-size", "16x16", "xc:gray", *options, "jpg:-"],
                          check=True, capture_output=True).stdout
    frame = max(tile.find(b"\xff\xc0"), tile.find(b"\xff\xc2"))
    return tile[:frame + 5] + struct.pack(">HH", side, side) + tile[frame + 9:]


write("huge jpeg claim.jpg", jpeg_claiming(20000))
write("progressive claim.jpg", jpeg_claiming(16000, "-interlace", "JPEG"))
EOF
