// Workbooks as other tools write them, built by lxml (which writes namespaces as a namespace-aware
// serializer does) and Python's zipfile: the Open XML SDK's prefixed parts (`<x:row>`), the
// Strict namespaces, relationships under a prefix, and every way a part is stored in the zip
// (deflated, stored, bzip2, deflated with data descriptors). Each reads as the same entries.
// Then the same workbooks damaged in the zip's own fields: a wrong CRC-32, a stated size short
// of or beyond what the part unpacks to, a broken deflate stream, a part marked encrypted; each
// refused with its reason, for the parts read whole and for the sheet read in slices.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/xlsx.h"
#include "peer_run.h"
#include "support/temp_dir.h"

namespace {

using exchange::ImportUnit;
using exchange::ParseFailure;
using exchangetest::RunPython;

constexpr char kMakeWorkbooks[] = R"PY(
import io, struct, zipfile
from lxml import etree

TRANSITIONAL = {
    'main': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main',
    'rel': 'http://schemas.openxmlformats.org/officeDocument/2006/relationships',
}
STRICT = {
    'main': 'http://purl.oclc.org/ooxml/spreadsheetml/main',
    'rel': 'http://purl.oclc.org/ooxml/officeDocument/relationships',
}
PACKAGE = 'http://schemas.openxmlformats.org/package/2006/relationships'
ROWS = [('ID', 'source', 'target'),
        ('7', '첫 줄_x000D_\n둘째 & <줄>', '[번역] 中文'),
        ('8', 'rich', None),
        ('9', 'emoji 😀', 'inline "q"')]

def xml(root):
    return etree.tostring(root, xml_declaration=True, encoding='UTF-8', standalone=True)

def parts(ns, prefix, rel_prefix='r', pkg_prefix=None):
    main = ns['main']
    q = lambda name: '{%s}%s' % (main, name)
    nsmap = {prefix: main, rel_prefix: ns['rel']}
    book = etree.Element(q('workbook'), nsmap=nsmap)
    sheets = etree.SubElement(book, q('sheets'))
    etree.SubElement(sheets, q('sheet'), {'name': 'translation', 'sheetId': '1',
                                          '{%s}id' % ns['rel']: 'rIdSheet'})
    rels = etree.Element('{%s}Relationships' % PACKAGE, nsmap={pkg_prefix: PACKAGE})
    base = ns['rel']
    for rid, kind, target in [('rIdSheet', 'worksheet', 'worksheets/data.xml'),
                              ('rIdStrings', 'sharedStrings', 'sharedStrings.xml')]:
        etree.SubElement(rels, '{%s}Relationship' % PACKAGE,
                         {'Id': rid, 'Type': base + '/' + kind, 'Target': target})
    sst = etree.Element(q('sst'), nsmap={prefix: main})
    strings = []
    def shared(text, rich=False):
        si = etree.SubElement(sst, q('si'))
        if rich:  # two runs and a phonetic reading, which is not text
            for part in (text[:2], text[2:]):
                etree.SubElement(etree.SubElement(si, q('r')), q('t')).text = part
            etree.SubElement(etree.SubElement(si, q('rPh')), q('t')).text = 'reading'
        else:
            etree.SubElement(si, q('t')).text = text
        strings.append(text)
        return str(len(strings) - 1)
    sheet = etree.Element(q('worksheet'), nsmap={prefix: main})
    data = etree.SubElement(sheet, q('sheetData'))
    for r, values in enumerate(ROWS, 1):
        row = etree.SubElement(data, q('row'), {'r': str(r)})
        for c, value in enumerate(values):
            if value is None:
                continue
            ref = 'ABC'[c] + str(r)
            if c == 2 and r == 4:  # an inline string
                cell = etree.SubElement(row, q('c'), {'r': ref, 't': 'inlineStr'})
                etree.SubElement(etree.SubElement(cell, q('is')), q('t')).text = value
            else:
                cell = etree.SubElement(row, q('c'), {'r': ref, 't': 's'})
                etree.SubElement(cell, q('v')).text = shared(value, rich=value == 'rich')
    return {
        '[Content_Types].xml': b'<?xml version="1.0"?><Types/>',
        'xl/workbook.xml': xml(book),
        'xl/_rels/workbook.xml.rels': xml(rels),
        'xl/sharedStrings.xml': xml(sst),
        'xl/worksheets/data.xml': xml(sheet),
    }

class Unseekable:  # zipfile then writes data descriptors after each part
    def __init__(self):
        self.out = io.BytesIO()
    def write(self, b):
        return self.out.write(b)
    def flush(self):
        pass

def write(name, files, method=zipfile.ZIP_DEFLATED, stream=False):
    target = Unseekable() if stream else open(name, 'wb')
    with zipfile.ZipFile(target, 'w', method) as z:
        for n, data in files.items():
            z.writestr(n, data)
    if stream:
        open(name, 'wb').write(target.out.getvalue())

sdk = parts(TRANSITIONAL, 'x')
write('sdk.xlsx', sdk)
write('strict.xlsx', parts(STRICT, None))
write('strict-prefixed.xlsx', parts(STRICT, 'x', 'rel', 'pr'))
write('stored.xlsx', sdk, zipfile.ZIP_STORED)
write('bzip2.xlsx', sdk, zipfile.ZIP_BZIP2)
write('streamed.xlsx', sdk, stream=True)

# The zip's fields of one part, changed in its local header and the central directory alike.
def damage(source, name, member, crc=0, size=0, body=None, flags=0):
    data = bytearray(open(source, 'rb').read())
    info = zipfile.ZipFile(source).getinfo(member)
    local = info.header_offset
    central = struct.unpack_from('<I', data, data.rindex(b'PK\x05\x06') + 16)[0]
    while data[central + 46:central + 46 + len(member)] != member.encode():
        central += 46 + sum(struct.unpack_from('<HHH', data, central + 28))
    for flags_at in (local + 6, central + 8):  # bit 0: encrypted
        struct.pack_into('<H', data, flags_at, struct.unpack_from('<H', data, flags_at)[0] | flags)
    for crc_at, size_at in ((local + 14, local + 22), (central + 16, central + 24)):
        struct.pack_into('<I', data, crc_at, info.CRC ^ crc)
        struct.pack_into('<I', data, size_at, info.file_size + size)
    if body is not None:
        start = local + 30 + len(info.filename) + len(info.extra)
        data[start + body] ^= 0xFF
    open(name, 'wb').write(bytes(data))

for part, tag in (('xl/workbook.xml', 'book'), ('xl/worksheets/data.xml', 'sheet')):
    for source, kind in (('sdk.xlsx', 'deflated'), ('stored.xlsx', 'stored')):
        damage(source, '%s-%s-crc.xlsx' % (tag, kind), part, crc=1)
        damage(source, '%s-%s-short.xlsx' % (tag, kind), part, size=-1)
        damage(source, '%s-%s-long.xlsx' % (tag, kind), part, size=1)
    damage('sdk.xlsx', '%s-deflated-stream.xlsx' % tag, part, body=3)
    damage('sdk.xlsx', '%s-encrypted.xlsx' % tag, part, flags=1)
)PY";

struct Read {
  bool accepted = false;
  std::vector<ImportUnit> units;
  ParseFailure failure;
};

class XlsxForeign : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    const exchangetest::PeerRun made = RunPython(dir_->path(), kMakeWorkbooks, "");
    ASSERT_EQ(made.status, 0) << made.err;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  static Read ReadBook(const std::string& file) {
    Read read;
    const std::string bytes = ReadFileBytes(dir_->File(file));
    EXPECT_FALSE(bytes.empty()) << file;
    read.accepted = exchange::ReadXlsx(bytes, read.units, read.failure);
    return read;
  }

  static TempDir* dir_;
};

TempDir* XlsxForeign::dir_ = nullptr;

TEST_F(XlsxForeign, PrefixedStrictAndEveryStorageReadAsTheSameEntries) {
  for (const char* file : {"sdk.xlsx", "strict.xlsx", "strict-prefixed.xlsx", "stored.xlsx",
                           "bzip2.xlsx", "streamed.xlsx"}) {
    SCOPED_TRACE(file);
    const Read read = ReadBook(file);
    ASSERT_TRUE(read.accepted) << read.failure.message;
    ASSERT_EQ(read.units.size(), 3u);
    EXPECT_EQ(read.units[0].id, 7);
    EXPECT_EQ(read.units[0].line, 2);
    EXPECT_EQ(read.units[0].source, "첫 줄\r\n둘째 & <줄>");
    EXPECT_EQ(read.units[0].target, "[번역] 中文");
    EXPECT_EQ(read.units[1].id, 8);
    EXPECT_EQ(read.units[1].source, "rich");  // the runs joined, the reading left out
    EXPECT_EQ(read.units[1].target, "");
    EXPECT_EQ(read.units[2].source, "emoji 😀");
    EXPECT_EQ(read.units[2].target, "inline \"q\"");
  }
}

TEST_F(XlsxForeign, DamagedZipFieldsAreRefusedForWholeAndSlicedParts) {
  const std::string damaged = ": the part cannot be unpacked (damaged archive)";
  const std::string longer = ": the part is longer than the archive says";
  for (const auto& [tag, part] :
       {std::pair<std::string, std::string>{"book", "xl/workbook.xml"},
        std::pair<std::string, std::string>{"sheet", "xl/worksheets/data.xml"}}) {
    const struct {
      std::string file;
      std::string message;
    } cases[] = {
        {tag + "-deflated-crc.xlsx", part + damaged},
        {tag + "-deflated-short.xlsx", part + longer},
        {tag + "-deflated-long.xlsx", part + damaged},
        {tag + "-deflated-stream.xlsx", part + damaged},
        {tag + "-stored-crc.xlsx", part + damaged},
        {tag + "-stored-short.xlsx", part + longer},
        {tag + "-stored-long.xlsx", part + damaged},
        {tag + "-encrypted.xlsx", part + ": the part cannot be unpacked"},  // no password
    };
    for (const auto& c : cases) {
      const Read read = ReadBook(c.file);
      EXPECT_FALSE(read.accepted) << c.file;
      EXPECT_TRUE(read.units.empty()) << c.file;
      EXPECT_EQ(read.failure.message, c.message) << c.file;
    }
  }
}

}  // namespace
