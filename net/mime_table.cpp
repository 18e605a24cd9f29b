// mime_table.cpp - TIdMimeTable with its built-in list.
#include "net/mime_table.h"

#include "net/exceptions.h"

namespace {

// In this order; ".xbm" and ".xml" occur twice and the first line wins.
const char* const kBuiltIn[][2] = {
    {".aiff", "audio/x-aiff"}, {".au", "audio/basic"}, {".mid", "midi/mid"}, {".mp3", "audio/x-mpg"},
    {".m3u", "audio/x-mpegurl"}, {".qcp", "audio/vnd.qcelp"}, {".ra", "audio/x-pn-realaudio"},
    {".wav", "audio/x-wav"}, {".gsm", "audio/x-gsm"}, {".wax", "audio/x-ms-wax"}, {".wma", "audio/x-ms-wma"},
    {".ram", "audio/x-pn-realaudio"}, {".mjf", "audio/x-vnd.AudioExplosion.MjuiceMediaFile"},
    {".bmp", "image/bmp"}, {".gif", "image/gif"}, {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"},
    {".jpe", "image/jpeg"}, {".pict", "image/x-pict"}, {".png", "image/x-png"}, {".svg", "image/svg-xml"},
    {".tif", "image/x-tiff"}, {".rf", "image/vnd.rn-realflash"}, {".rp", "image/vnd.rn-realpix"},
    {".ico", "image/x-icon"}, {".art", "image/x-jg"}, {".pntg", "image/x-macpaint"},
    {".qtif", "image/x-quicktime"}, {".sgi", "image/x-sgi"}, {".targa", "image/x-targa"},
    {".xbm", "image/xbm"}, {".psd", "image/x-psd"}, {".pnm", "image/x-portable-anymap"},
    {".pbm", "image/x-portable-bitmap"}, {".pgm", "image/x-portable-graymap"},
    {".ppm", "image/x-portable-pixmap"}, {".rgb", "image/x-rgb"}, {".xbm", "image/x-xbitmap"},
    {".xpm", "image/x-xpixmap"}, {".xwd", "image/x-xwindowdump"}, {".323", "text/h323"},
    {".xml", "text/xml"}, {".uls", "text/iuls"}, {".txt", "text/plain"}, {".rtx", "text/richtext"},
    {".wsc", "text/scriptlet"}, {".rt", "text/vnd.rn-realtext"}, {".htt", "text/webviewhtml"},
    {".htc", "text/x-component"}, {".vcf", "text/x-vcard"}, {".avi", "video/x-msvideo"},
    {".flc", "video/flc"}, {".mpeg", "video/x-mpeg2a"}, {".mov", "video/quicktime"},
    {".rv", "video/vnd.rn-realvideo"}, {".ivf", "video/x-ivf"}, {".wm", "video/x-ms-wm"},
    {".wmp", "video/x-ms-wmp"}, {".wmv", "video/x-ms-wmv"}, {".wmx", "video/x-ms-wmx"},
    {".wvx", "video/x-ms-wvx"}, {".rms", "video/vnd.rn-realvideo-secure"}, {".asx", "video/x-ms-asf-plugin"},
    {".movie", "video/x-sgi-movie"}, {".wmd", "application/x-ms-wmd"}, {".wms", "application/x-ms-wms"},
    {".wmz", "application/x-ms-wmz"}, {".p12", "application/x-pkcs12"}, {".p7b", "application/x-pkcs7-certificates"},
    {".p7r", "application/x-pkcs7-certreqresp"}, {".qtl", "application/x-quicktimeplayer"},
    {".rtsp", "application/x-rtsp"}, {".swf", "application/x-shockwave-flash"}, {".sit", "application/x-stuffit"},
    {".tar", "application/x-tar"}, {".man", "application/x-troff-man"}, {".urls", "application/x-url-list"},
    {".zip", "application/x-zip-compressed"}, {".cdf", "application/x-cdf"}, {".fml", "application/x-file-mirror-list"},
    {".fif", "application/fractals"}, {".spl", "application/futuresplash"}, {".hta", "application/hta"},
    {".hqx", "application/mac-binhex40"}, {".doc", "application/msword"}, {".pdf", "application/pdf"},
    {".p10", "application/pkcs10"}, {".p7m", "application/pkcs7-mime"}, {".p7s", "application/pkcs7-signature"},
    {".cer", "application/x-x509-ca-cert"}, {".crl", "application/pkix-crl"}, {".ps", "application/postscript"},
    {".sdp", "application/sdp"}, {".setpay", "application/set-payment-initiation"},
    {".setreg", "application/set-registration-initiation"}, {".smil", "application/smil"},
    {".ssm", "application/streamingmedia"}, {".xfdf", "application/vnd.adobe.xfdf"},
    {".fdf", "application/vnd.fdf"}, {".xls", "application/x-msexcel"}, {".sst", "application/vnd.ms-pki.certstore"},
    {".pko", "application/vnd.ms-pki.pko"}, {".cat", "application/vnd.ms-pki.seccat"},
    {".stl", "application/vnd.ms-pki.stl"}, {".rmf", "application/vnd.rmf"}, {".rm", "application/vnd.rn-realmedia"},
    {".rnx", "application/vnd.rn-realplayer"}, {".rjs", "application/vnd.rn-realsystem-rjs"},
    {".rmx", "application/vnd.rn-realsystem-rmx"}, {".rmp", "application/vnd.rn-rn_music_package"},
    {".rsml", "application/vnd.rn-rsml"}, {".vsl", "application/x-cnet-vsl"}, {".z", "application/x-compress"},
    {".tgz", "application/x-compressed"}, {".dir", "application/x-director"}, {".gz", "application/x-gzip"},
    {".uin", "application/x-icq"}, {".hpf", "application/x-icq-hpf"}, {".pnq", "application/x-icq-pnq"},
    {".scm", "application/x-icq-scm"}, {".ins", "application/x-internet-signup"},
    {".iii", "application/x-iphone"}, {".latex", "application/x-latex"}, {".nix", "application/x-mix-transfer"},
    {".wbmp", "image/vnd.wap.wbmp"}, {".wml", "text/vnd.wap.wml"}, {".wmlc", "application/vnd.wap.wmlc"},
    {".wmls", "text/vnd.wap.wmlscript"}, {".wmlsc", "application/vnd.wap.wmlscriptc"}, {".css", "text/css"},
    {".htm", "text/html"}, {".html", "text/html"}, {".shtml", "server-parsed-html"}, {".xml", "text/xml"},
    {".sgm", "text/sgml"}, {".sgml", "text/sgml"},
};

char LowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLower(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

std::string MimeExtensionOf(const std::string& fileName) {
  std::size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) return "";
  if (fileName.find_first_of("\\:/", dot) != std::string::npos) return "";
  return Lower(fileName.substr(dot));
}

TIdMimeTable::TIdMimeTable(bool autoFill) : RegisteredTypes(AddRegisteredContentTypes) {
  if (autoFill) EnsureFilled();
}

int TIdMimeTable::IndexOf(const std::string& lowerExtension) const {
  auto found = FIndex.find(lowerExtension);
  return found == FIndex.end() ? -1 : static_cast<int>(found->second);
}

std::string TIdMimeTable::ContentTypeFor(const std::string& fileName) const {
  int i = IndexOf(MimeExtensionOf(fileName));
  return i < 0 ? "application/octet-stream" : FTypes[static_cast<std::size_t>(i)];
}

void TIdMimeTable::AddEntry(const std::string& extension, const std::string& type) {
  std::string ext = Lower(extension);
  if (ext.empty()) throw EIdException("Extension is empty");
  // A character, not the string ".": GCC 12 at -O3 warns falsely (-Wrestrict)
  // about inserting a one-character string at the front.
  if (ext[0] != '.') ext.insert(ext.begin(), '.');
  std::string t = Lower(type);
  if (t.empty()) throw EIdException("Mimetype is empty");
  if (IndexOf(ext) >= 0) throw EIdException("Extension already exits");
  FIndex.emplace(ext, FExtensions.size());
  FExtensions.push_back(ext);
  FTypes.push_back(t);
}

void TIdMimeTable::EnsureFilled() {
  if (OnBuildCache) OnBuildCache(*this);
  else if (FExtensions.empty()) FillDefaults();
}

void TIdMimeTable::SetLine(Lines& lines, const std::string& extension, const std::string& type) {
  for (auto& line : lines) {
    if (SameLower(line.first, extension)) {
      line.second = type;
      return;
    }
  }
  lines.emplace_back(extension, type);
}

void TIdMimeTable::FillDefaults() {
  Lines lines;
  for (const auto& entry : kBuiltIn) lines.emplace_back(entry[0], entry[1]);
  if (RegisteredTypes) RegisteredTypes(lines);
  FExtensions.clear();
  FTypes.clear();
  FIndex.clear();
  for (const auto& [extension, type] : lines) {
    std::string ext = Lower(extension);
    if (ext.empty() || type.empty()) continue;
    if (ext[0] != '.') ext.insert(ext.begin(), '.');
    if (IndexOf(ext) >= 0) continue;
    AddEntry(ext, type);
  }
}
