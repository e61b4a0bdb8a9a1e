// The zip writer of the workbooks (zip_writer.h has the layout). Field tables: the local header
// and the central directory record follow the PKWARE APPNOTE 6.3 layout, version needed 2.0,
// method 8 (deflate), no flags, no extra fields, no comments.
#include "exchange/zip_writer.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <cerrno>
#include <cstring>

#include "platform/file_io.h"

namespace exchange {
namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint16_t kVersion = 20;  // 2.0: deflate
constexpr uint16_t kDeflate = 8;
constexpr uint16_t kDosTime = 0;       // 00:00:00
constexpr uint16_t kDosDate = 0x0021;  // 1980-01-01 (year 0 from 1980, month 1, day 1)
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr size_t kMaxEntries = 65535;

// Byte offsets inside a local header of the fields patched when the entry is closed.
constexpr long kLocalCrcAt = 14;

// Deflated output is written a buffer at a time.
constexpr size_t kOutBytes = size_t{256} << 10;

void Put16(std::string& out, uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

}  // namespace

struct ZipWriter::Deflater {
  isal_zstream stream;
  std::vector<uint8_t> level;  // igzip's working memory for level 1
  std::vector<uint8_t> out;
};

ZipWriter::ZipWriter(std::FILE* file) : file_(file) {}

ZipWriter::~ZipWriter() = default;

bool ZipWriter::Fail(const std::string& message) {
  status_ = platform::Status::Failure(message);
  return false;
}

bool ZipWriter::FailSystem(const std::string& message) {
  const int reason = errno != 0 ? errno : EIO;
  status_ = platform::Status::Failure(message, reason);
  errno = reason;
  return false;
}

bool ZipWriter::Put(const void* data, size_t size) {
  errno = 0;  // a failure without a reason of the system's is EIO
  if (!platform::WriteBytes(file_, data, size)) return FailSystem("cannot write the workbook");
  written_ += size;
  return true;
}

bool ZipWriter::Open(std::string_view name) {
  if (open_) return Fail("a zip entry was opened before the last one was closed");
  if (entries_.size() >= kMaxEntries) {
    return Fail("more than " + std::to_string(kMaxEntries) + " parts in one workbook; not written");
  }
  if (written_ > kMax32) return Fail("the workbook reaches 4 GiB; not written");
  if (entries_.empty()) {
    base_ = ftello(file_);
    if (base_ < 0) return FailSystem("cannot write the workbook");
  }
  if (deflater_ == nullptr) {
    deflater_ = std::make_unique<Deflater>();
    deflater_->level.resize(ISAL_DEF_LVL1_DEFAULT);
    deflater_->out.resize(kOutBytes);
  }
  isal_zstream& stream = deflater_->stream;
  isal_deflate_init(&stream);
  stream.level = 1;
  stream.level_buf = deflater_->level.data();
  stream.level_buf_size = static_cast<uint32_t>(deflater_->level.size());
  stream.gzip_flag = IGZIP_DEFLATE;
  stream.flush = NO_FLUSH;

  Entry entry;
  entry.name.assign(name);
  entry.offset = written_;
  std::string header;
  Put32(header, kLocalSignature);
  Put16(header, kVersion);
  Put16(header, 0);  // flags
  Put16(header, kDeflate);
  Put16(header, kDosTime);
  Put16(header, kDosDate);
  Put32(header, 0);  // CRC-32, patched by Close
  Put32(header, 0);  // compressed size, patched
  Put32(header, 0);  // uncompressed size, patched
  Put16(header, static_cast<uint16_t>(entry.name.size()));
  Put16(header, 0);  // extra field length
  header += entry.name;
  entries_.push_back(std::move(entry));
  open_ = true;
  return Put(header.data(), header.size());
}

bool ZipWriter::Deflate(const char* data, size_t size, bool last) {
  Entry& entry = entries_.back();
  isal_zstream& stream = deflater_->stream;
  // avail_in is 32 bits: a larger write goes in pieces.
  constexpr size_t kPiece = size_t{1} << 30;
  do {
    const size_t piece = size < kPiece ? size : kPiece;
    stream.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(data));
    stream.avail_in = static_cast<uint32_t>(piece);
    stream.end_of_stream = last && piece == size ? 1 : 0;
    if (piece > 0) {
      entry.crc = crc32_gzip_refl(entry.crc, reinterpret_cast<const unsigned char*>(data), piece);
    }
    entry.size += piece;
    if (entry.size > kMax32) {
      return Fail("a part of the workbook (" + entry.name + ") reaches 4 GiB; not written");
    }
    do {
      stream.next_out = deflater_->out.data();
      stream.avail_out = static_cast<uint32_t>(deflater_->out.size());
      const uint32_t before = stream.avail_in;
      if (isal_deflate(&stream) != COMP_OK) return Fail("the workbook cannot be compressed");
      const size_t produced = deflater_->out.size() - stream.avail_out;
      // A call that takes nothing and gives nothing would never end the loop.
      if (produced == 0 && stream.avail_in == before && stream.internal_state.state != ZSTATE_END) {
        return Fail("the workbook cannot be compressed");
      }
      entry.packed += produced;
      if (!Put(deflater_->out.data(), produced)) return false;
    } while (stream.avail_out == 0 || stream.avail_in > 0 ||
             (stream.end_of_stream != 0 && stream.internal_state.state != ZSTATE_END));
    data += piece;
    size -= piece;
  } while (size > 0);
  if (entry.packed > kMax32) {
    return Fail("a part of the workbook (" + entry.name + ") reaches 4 GiB; not written");
  }
  return true;
}

bool ZipWriter::Write(std::string_view bytes) {
  if (!open_) return Fail("no zip entry is open");
  if (bytes.empty()) return true;
  return Deflate(bytes.data(), bytes.size(), false);
}

bool ZipWriter::Close() {
  if (!open_) return Fail("no zip entry is open");
  if (!Deflate("", 0, true)) return false;
  open_ = false;
  const Entry& entry = entries_.back();
  std::string patch;
  Put32(patch, entry.crc);
  Put32(patch, static_cast<uint32_t>(entry.packed));
  Put32(patch, static_cast<uint32_t>(entry.size));
  // The header lies behind what was written; the stream returns to the end afterwards.
  if (std::fflush(file_) != 0 ||
      fseeko(file_, base_ + static_cast<off_t>(entry.offset) + kLocalCrcAt, SEEK_SET) != 0) {
    return FailSystem("cannot write the workbook");
  }
  errno = 0;
  if (!platform::WriteBytes(file_, patch.data(), patch.size()) || std::fflush(file_) != 0 ||
      fseeko(file_, 0, SEEK_END) != 0) {
    return FailSystem("cannot write the workbook");
  }
  return true;
}

bool ZipWriter::Add(std::string_view name, std::string_view bytes) {
  return Open(name) && Write(bytes) && Close();
}

bool ZipWriter::Finish() {
  if (open_) return Fail("a zip entry is still open");
  const uint64_t start = written_;
  std::string directory;
  for (const Entry& entry : entries_) {
    Put32(directory, kCentralSignature);
    Put16(directory, kVersion);  // made by: 2.0, MS-DOS attributes
    Put16(directory, kVersion);
    Put16(directory, 0);  // flags
    Put16(directory, kDeflate);
    Put16(directory, kDosTime);
    Put16(directory, kDosDate);
    Put32(directory, entry.crc);
    Put32(directory, static_cast<uint32_t>(entry.packed));
    Put32(directory, static_cast<uint32_t>(entry.size));
    Put16(directory, static_cast<uint16_t>(entry.name.size()));
    Put16(directory, 0);  // extra field length
    Put16(directory, 0);  // comment length
    Put16(directory, 0);  // disk number
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, static_cast<uint32_t>(entry.offset));
    directory += entry.name;
  }
  if (start > kMax32 || start + directory.size() > kMax32) {
    return Fail("the workbook reaches 4 GiB; not written");
  }
  std::string end;
  Put32(end, kEndSignature);
  Put16(end, 0);  // this disk
  Put16(end, 0);  // the disk of the directory
  Put16(end, static_cast<uint16_t>(entries_.size()));
  Put16(end, static_cast<uint16_t>(entries_.size()));
  Put32(end, static_cast<uint32_t>(directory.size()));
  Put32(end, static_cast<uint32_t>(start));
  Put16(end, 0);  // comment length
  directory += end;
  return Put(directory.data(), directory.size());
}

}  // namespace exchange
