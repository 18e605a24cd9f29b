// ini_fuzz.cpp - any text through the initialization-file reader and writer and
// the list file's line rules: a value written is the value read back, other
// entries keep theirs, a plain text stays plain, lines survive being joined and cut again.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "config/dir_list_file.h"
#include "config/ini_text.h"

namespace {

// Names as the program uses them, with a change of case and a stranger.
const char* const kSections[] = {"Kelv", "KELV", "PHP", "Other"};
const char* const kKeys[] = {"AutoRun", "autorun", "extension_dir", "x"};

// A value that the reader gives back as written: one line, no blanks or tabs
// at its ends, no enclosing quotes, within the size the reader keeps.
[[noreturn]] void Fail(const char* what, const std::string& section, const std::string& key) {
  std::fprintf(stderr, "%s: [%s] %s\n", what, section.c_str(), key.c_str());
  std::abort();
}

bool ReadsBackAsWritten(const std::string& v) {
  if (v.size() > initext::kMaxValue || v.find_first_of("\r\n") != std::string::npos) return false;
  if (!v.empty() && (v.front() == ' ' || v.front() == '\t' || v.back() == ' ' || v.back() == '\t')) return false;
  return !(v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front());
}

void CheckIni(const std::string& text, const std::string& section, const std::string& key, const std::string& value) {
  const std::string written = initext::WriteValue(text, section, key, value);
  const auto read = initext::ReadValue(written, section, key);
  if (!read || read->size() > initext::kMaxValue) Fail("not read back", section, key);
  if (ReadsBackAsWritten(value) && *read != value) Fail("read back changed", section, key);
  // What --access sets in a plain state file, the site reads too.
  const bool plainValue = std::none_of(value.begin(), value.end(), [](unsigned char c) {
    return c < ' ' || c == 0x7f || c == '"' || c == '\'' || c == ';';
  });
  if (plainValue && initext::IsPlain(text, section) && !initext::IsPlain(written, section))
    Fail("no longer plain", section, key);
  // A value with a line break writes lines of its own: that is the format.
  if (value.find_first_of("\r\n") != std::string::npos) return;
  for (const char* s : kSections)
    for (const char* k : kKeys) {
      if (text::SameTextAscii(s, section) && text::SameTextAscii(k, key)) continue;
      if (initext::ReadValue(written, s, k) != initext::ReadValue(text, s, k)) Fail("another entry changed", s, k);
    }
}

void CheckLines(const std::string& text) {
  const auto lines = dirlistfile::Cut(text);
  for (const std::string& line : lines)
    if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
  if (dirlistfile::Cut(dirlistfile::Join(lines)) != lines) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string section = provider.PickValueInArray(kSections);
  const std::string key = provider.PickValueInArray(kKeys);
  const std::string value = provider.ConsumeRandomLengthString(3000);
  const std::string text = provider.ConsumeRemainingBytesAsString();
  CheckIni(text, section, key, value);
  CheckLines(text);
  return 0;
}
