# Writes the OpenDocument sources of the sample PDFs here; LibreOffice makes the PDFs:
#   python3 make.py && soffice --headless --convert-to pdf *.fodt
import random
random.seed(7)
HEAD = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
<office:font-face-decls><style:font-face style:name="Liberation Serif" fo:font-family="'Liberation Serif'"/><style:font-face style:name="Liberation Sans" fo:font-family="'Liberation Sans'"/></office:font-face-decls>
<office:styles>
<style:default-style style:family="paragraph"><style:paragraph-properties fo:margin-bottom="0.08in"/><style:text-properties style:font-name="Liberation Serif" fo:font-size="11pt"/></style:default-style>
<style:style style:name="Standard" style:family="paragraph"/>
<style:style style:name="Heading_20_1" style:display-name="Heading 1" style:family="paragraph"><style:paragraph-properties fo:margin-bottom="0.12in"/><style:text-properties style:font-name="Liberation Sans" fo:font-size="20pt" fo:font-weight="bold"/></style:style>
<style:style style:name="Heading_20_2" style:display-name="Heading 2" style:family="paragraph"><style:paragraph-properties fo:margin-top="0.1in" fo:margin-bottom="0.08in"/><style:text-properties style:font-name="Liberation Sans" fo:font-size="15pt" fo:font-weight="bold"/></style:style>
</office:styles>
<office:automatic-styles>
<style:style style:name="Sect1" style:family="section"><style:section-properties><style:columns fo:column-count="2" fo:column-gap="0.3in"/></style:section-properties></style:style>
<style:style style:name="Tbl" style:family="table"><style:table-properties style:width="6.5in" table:align="margins"/></style:style>
<style:style style:name="Bold" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
<style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="8.5in" fo:page-height="11in" fo:margin-top="0.6in" fo:margin-bottom="0.6in" fo:margin-left="1in" fo:margin-right="1in"/><style:header-style><style:header-footer-properties fo:min-height="0in" fo:margin-bottom="0.3in"/></style:header-style><style:footer-style><style:header-footer-properties fo:min-height="0in" fo:margin-top="0.3in"/></style:footer-style></style:page-layout>
</office:automatic-styles>
'''
def master(header, footer):
    h = f'<style:header><text:p>{header}</text:p></style:header>' if header else ''
    f = f'<style:footer><text:p>{footer}</text:p></style:footer>' if footer else ''
    return f'<office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm1">{h}{f}</style:master-page></office:master-styles>'
WORDS = "garden river morning light window letter basket orchard meadow harvest lantern kitchen bridge village market summer winter season gentle quiet bright careful simple patient steady".split()
def sentence():
    n = random.randint(8, 16)
    w = [random.choice(WORDS) for _ in range(n)]
    w[0] = w[0].capitalize()
    return " ".join(w) + "."
def para(n=4):
    return "<text:p>" + " ".join(sentence() for _ in range(n)) + "</text:p>"
def doc(master_xml, body):
    return HEAD + master_xml + "<office:body><office:text>" + body + "</office:text></office:body></office:document>\n"

# Two columns under a full-width title.
body = '<text:h text:style-name="Heading_20_1" text:outline-level="1">Notes from the orchard</text:h>'
body += '<text:section text:style-name="Sect1" text:name="Columns">' + "".join(para(4) for _ in range(7)) + '</text:section>'
open("two-columns.fodt", "w").write(doc(master("", ""), body))

# Running header and page-number footer over four pages (two or three are too
# few to tell a running line from a letter's own): parts 4 to 6 are drawn
# after the table's text, so that the other samples stay as they were.
guide = '<text:h text:style-name="Heading_20_1" text:outline-level="1">Field guide</text:h>'
for i in range(1, 4):
    guide += f'<text:h text:style-name="Heading_20_2" text:outline-level="2">Part {i}</text:h>' + "".join(para(5) for _ in range(5))

# A table with a bold header row between two paragraphs.
rows = [("Plant", "Water", "Light"), ("Tomato", "Every day", "Full sun"), ("Fern", "Twice a week", "Shade"), ("Basil", "Every other day", "Bright window")]
def cell(t, bold=False):
    inner = f'<text:span text:style-name="Bold">{t}</text:span>' if bold else t
    return f'<table:table-cell><text:p>{inner}</text:p></table:table-cell>'
table = '<table:table table:name="Plants" table:style-name="Tbl"><table:table-column table:number-columns-repeated="3"/>'
for i, r in enumerate(rows):
    table += "<table:table-row>" + "".join(cell(t, i == 0) for t in r) + "</table:table-row>"
table += "</table:table>"
body = '<text:h text:style-name="Heading_20_1" text:outline-level="1">Watering plan</text:h>' + para(3) + table + para(2)
open("table.fodt", "w").write(doc(master("", ""), body))

# Each sample below draws from the same point of the random sequence, so
# each comes out as it was first made.
after_table = random.getstate()
for i in range(4, 7):
    guide += f'<text:h text:style-name="Heading_20_2" text:outline-level="2">Part {i}</text:h>' + "".join(para(5) for _ in range(5))
open("running-header.fodt", "w").write(doc(master("Folmira Field Guide", 'Page <text:page-number text:select-page="current">1</text:page-number>'), guide))

random.setstate(after_table)
# Arabic with Latin words and numbers in paragraphs set left to right (as a
# plain text opened in LibreOffice is), two pages and more.
ARABIC = ("الكتاب المكتبة القراءة النص الخط الكبير الناس أحرارا عقلا وضميرا المدينة الطريق "
          "الصباح المساء البيت المدرسة الأطفال الأسبوع").split()
LATIN = ["habibi", "Paris", "London", "PDF", "Word", "42", "2024"]
def arabic_para(n=5):
    sentences = []
    for _ in range(n):
        w = [random.choice(ARABIC) for _ in range(random.randint(8, 14))]
        w.insert(random.randint(1, len(w) - 1), random.choice(LATIN))
        sentences.append(" ".join(w) + ".")
    return "<text:p>" + " ".join(sentences) + "</text:p>"
body = "".join(arabic_para() for _ in range(9))
open("arabic-left.fodt", "w").write(doc(master("", ""), body))
