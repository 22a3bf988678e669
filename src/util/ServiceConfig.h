#pragma once

#include <QString>

// Where the service's two hosts are. Built-in defaults point at the local print service on
// 127.0.0.1; environment variables override them, so an installed program and every test can
// be pointed elsewhere without rebuilding.
//   KESTRUN_WEB_URL     web server (login, banner, notices, server time, basket)
//   KESTRUN_UPLOAD_URL  upload host's HTTP scripts
//   KESTRUN_FTP_URL     upload host's FTP server
//   KESTRUN_BROWSER     command that opens the basket page (one argument: the address)
//   KESTRUN_CONFIG      path of the settings file instead of Kestrun.cfg beside the program
namespace ServiceConfig {

QString WebUrl(); // no trailing "/"; "http://127.0.0.1:8080" by default
QString UploadUrl(); // no trailing "/"; "http://127.0.0.1:8080" by default
QString FtpUrl(); // no trailing "/"; "ftp://127.0.0.1:2121" by default
QString BrowserCommand(); // empty: a Chrome/Chromium on PATH, else the desktop's default browser

// The fixed FTP account of the upload host.
inline constexpr const char *FtpUser = "kestrun_ftp";
inline constexpr const char *FtpPassword = "mbqrwz!";

// Web server address + path ("/app_login.php..."), joined without doubling the "/".
QString WebAddress(const QString &Path);
QString UploadAddress(const QString &Path);

// The one rule for joining a host address and a path: the address's trailing "/"s dropped, one
// "/" between them.
QString WithoutTrailingSlashes(QString Address);
QString JoinAddress(const QString &Base, const QString &Path);

} // namespace ServiceConfig
