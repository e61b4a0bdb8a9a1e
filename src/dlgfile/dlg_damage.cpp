#include "dlgfile/dlg_damage.h"

#include <cstdint>
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
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

}  // namespace

std::vector<std::string> DescribeDlgDamage(const char* path) {
  std::vector<std::string> damage;
  std::vector<uint8_t> bytes;
  try {
    if (!ReadWhole(path, bytes)) return damage;
    const DlgVerifyResult check = VerifyDlgBytes(bytes.data(), bytes.size(), kDamageLinesKept);
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
