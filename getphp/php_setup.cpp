// php_setup.cpp - the steps of the set-up, each ending the whole when it fails.
#include "getphp/php_setup.h"

#include <cstdlib>

#include "base/program_env.h"
#include "getphp/folder_ops.h"
#include "getphp/http_fetch.h"
#include "getphp/install_plan.h"
#include "getphp/runtime_check.h"
#include "getphp/setup_lock.h"
#include "getphp/sha256.h"
#include "getphp/unpack.h"
#include "getphp/url.h"
#include "getphp/zip_reader.h"

namespace {

constexpr char kListVariable[] = "OSTREL_PHP_RELEASES";
constexpr char kNothingChanged[] = "; nothing was changed.";
constexpr char kCancelled[] = "The set-up of PHP was cancelled; nothing was changed.";

TSetupOutcome Outcome(TSetupResult result, const std::string& message) { return {result, message}; }

TFetchResult Download(const std::string& url, std::uint64_t limit, TSetupReport& report) {
  return Fetch(url, limit, [&report](std::uint64_t done, std::uint64_t total) {
    report.Bytes(done, total);
    return !report.Cancelled();
  });
}

// Beside the list, or, when a newer release has just moved it, in archives/.
TFetchResult DownloadZip(const std::string& listUrl, const TPhpRelease& release, TSetupReport& report,
                         std::string& url) {
  url = Beside(listUrl, release.ZipName);
  report.Line("Downloading PHP " + release.Version + " (" + SizeForPeople(release.Size) + "): " + url);
  TFetchResult result = Download(url, DownloadLimit(release), report);
  if (result.Status != 404) return result;
  url = Beside(listUrl, "archives/" + release.ZipName);
  report.Line("Not there any more; from the archives: " + url);
  return Download(url, DownloadLimit(release), report);
}

// Makes room for the folders beside php\ that an interrupted set-up may have left.
std::string ClearLeftovers(const TInstallFolders& folders, TFolderOps& ops) {
  for (const std::string& folder : {folders.Unpacked, folders.SetAside}) {
    if (ops.KindOf(folder) == TFolderOps::TKind::None) continue;
    std::string error = ops.RemoveAll(folder);
    if (!error.empty()) return error;
  }
  return "";
}

// Unpacks beside php\ and moves the files in; Ready with no message when it
// all worked.
TSetupOutcome Install(const TZipArchive& archive, const TPhpRelease& release, const std::string& appDir,
                      TSetupReport& report) {
  const std::string php = "PHP " + release.Version;
  TSystemFolderOps ops;
  const char delim = PathDelim();
  const TInstallFolders folders{appDir + delim + "php", appDir + delim + "php.unpacking",
                                appDir + delim + "php.replaced"};
  std::string error = ClearLeftovers(folders, ops);
  if (!error.empty()) return Outcome(TSetupResult::Failed, php + " could not be set up: " + error + kNothingChanged);

  // Short lines: an installer shows them all in one box.
  report.Line("Unpacking it beside the php folder");
  error = Unpack(archive, folders.Unpacked, ops);
  if (!error.empty() || report.Cancelled()) {
    ops.RemoveAll(folders.Unpacked);
    if (error.empty()) return Outcome(TSetupResult::Cancelled, kCancelled);
    return Outcome(TSetupResult::Failed, php + " could not be unpacked: " + error + kNothingChanged);
  }
  report.Line("Moving the files into the php folder");
  std::vector<std::string> names;
  for (const TZipEntry& entry : archive.Entries()) names.push_back(entry.Name);
  const auto kindInPhp = [&](const std::string& path) { return ops.KindOf(PathUnder(folders.Php, path)); };
  error = CarryOut(PlanInstall(names, kindInPhp), folders, ops);
  ops.RemoveAll(folders.Unpacked);
  if (!error.empty())
    return Outcome(TSetupResult::Failed, php + " could not be moved into " + folders.Php + ": " + error +
                                             "; the php folder was left as it was.");
  return Outcome(TSetupResult::Ready, "");
}

}  // namespace

TReleaseLookup LookUpRelease(TSetupReport& report) {
  TReleaseLookup lookup;
  const char* given = std::getenv(kListVariable);
  lookup.ListUrl = given != nullptr && *given != '\0' ? given : kDefaultReleaseList;
  const std::string refusal = RefusalOf(lookup.ListUrl);
  if (!refusal.empty()) {
    lookup.Error = std::string("The list of PHP releases was not read: ") + refusal + ".";
    return lookup;
  }
  report.Line("Reading the list of PHP releases: " + lookup.ListUrl);
  // A few kilobytes: no progress to show.
  TFetchResult list = Fetch(lookup.ListUrl, kMaxReleaseListBytes,
                            [&report](std::uint64_t, std::uint64_t) { return !report.Cancelled(); });
  lookup.Cancelled = list.Cancelled;
  if (!list.Error.empty()) {
    lookup.Error = "The list of PHP releases could not be read from " + lookup.ListUrl + ": " + list.Error + ".";
    return lookup;
  }
  const std::string why = ChooseRelease(list.Body, lookup.Release);
  if (!why.empty()) lookup.Error = "No PHP for Windows was chosen from " + lookup.ListUrl + ": " + why + ".";
  return lookup;
}

TSetupOutcome SetUpRelease(const TReleaseLookup& lookup, const std::string& appDir, TSetupReport& report) {
  const TPhpRelease& release = lookup.Release;
  const std::string php = "PHP " + release.Version;
  TSetupLock lock;
  if (!lock.Held())
    return Outcome(TSetupResult::Failed,
                   "PHP is being set up by another copy of the program" + std::string(kNothingChanged));
  std::string url;
  TFetchResult zip = DownloadZip(lookup.ListUrl, release, report, url);
  if (zip.Cancelled) return Outcome(TSetupResult::Cancelled, kCancelled);
  if (!zip.Error.empty())
    return Outcome(TSetupResult::Failed,
                   php + " could not be downloaded from " + url + ": " + zip.Error + kNothingChanged);

  report.Line("Checking the download against the SHA-256 checksum of the list");
  if (Sha256Hex(zip.Body) != release.Sha256)
    return Outcome(
        TSetupResult::Failed,
        "The download of " + php + " does not match the SHA-256 checksum in the list of releases" + kNothingChanged);
  TZipArchive archive;
  std::string error = archive.Open(zip.Body);
  if (error.empty()) error = RefusalOfArchive(archive);
  if (!error.empty())
    return Outcome(TSetupResult::Failed, "The archive of " + php + " was refused: " + error + kNothingChanged);
  if (report.Cancelled()) return Outcome(TSetupResult::Cancelled, kCancelled);

  TSetupOutcome installed = Install(archive, release, appDir, report);
  if (installed.Result != TSetupResult::Ready) return installed;

  report.Line("Checking php\\" + std::string(kCgiProgramName));
  const TInterpreterCheck check = CheckSetUpInterpreter(appDir);
  if (check.Kind == TInterpreterKind::Cgi) return Outcome(TSetupResult::Ready, php + " is ready");
  if (RuntimeMissing(check))
    return Outcome(TSetupResult::RuntimeMissing,
                   "PHP needs the Microsoft Visual C++ Redistributable (x64), which is not installed on this "
                   "computer. Its installer: " +
                       std::string(kVcRuntimeUrl));
  return Outcome(TSetupResult::NotUsable,
                 php + " was set up, but php\\" + kCgiProgramName + " did not answer as PHP's CGI program.");
}
