#include "dlgfile/dlg_damage.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <new>

#include "dlgfile/dlg_verify.h"
#include "platform/debug_output.h"
#include "platform/file_read.h"

namespace {

constexpr size_t kDamageLinesKept = 20;

bool ReadWhole(const char* path, std::vector<uint8_t>& bytes) {
  std::FILE* file = platform::OpenRegularFileForReading(path);
  if (file == nullptr) return false;
  uint8_t chunk[1 << 16];
  int64_t got = 0;
  while ((got = platform::ReadStream(file, chunk, sizeof chunk)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  const int reason = errno;
  std::fclose(file);
  errno = reason;
  return got == 0;
}

}  // namespace

std::vector<std::string> DescribeDlgDamage(const char* path) {
  std::vector<std::string> damage;
  std::vector<uint8_t> bytes;
  try {
    // A file that cannot be read cannot be passed for intact: its damage is unknown.
    if (!ReadWhole(path, bytes)) {
      damage.assign(1, std::string("cannot read the file to check it: ") + std::strerror(errno));
      bytes.clear();
    }
    const DlgVerifyResult check = damage.empty()
                                      ? VerifyDlgBytes(bytes.data(), bytes.size(), kDamageLinesKept)
                                      : DlgVerifyResult();
    for (const DlgFinding& finding : check.findings) {
      if (!finding.damage) continue;
      std::string line = finding.message;
      if (finding.offset >= 0) line += " (offset " + std::to_string(finding.offset) + ")";
      if (finding.id >= 0) line += " (ID " + std::to_string(finding.id) + ")";
      damage.push_back(std::move(line));
    }
    const int64_t unlisted = check.damageCount - static_cast<int64_t>(damage.size());
    if (unlisted > 0) damage.push_back(std::to_string(unlisted) + " more problems not listed");
  } catch (const std::bad_alloc&) {
    // Too large to check twice over: say so rather than pass the file for intact.
    damage.assign(1, "not enough memory to check the file");
  }
  for (const std::string& line : damage) {
    platform::DebugOutput("CDlgFile::Load() Damage : %s(%s)\n", line.c_str(), path);
  }
  return damage;
}
