#pragma once

#include "util/ServiceConfig.h"

#include <QString>

// Where and how one upload talks to the service. FromConfig() gives the program's values;
// tests point the addresses at their own service and shorten the limits.
struct UploadSettings
{
    QString WebUrl; // server time, basket page
    QString UploadUrl; // the two upload scripts
    QString FtpUrl; // "ftp://host:port"
    int ConnectTimeout = 15; // seconds, every connection
    int HttpStallTimeout = 60; // seconds without progress that fail an HTTP request
    int FtpStallTimeout = 120; // seconds without progress that fail an FTP store or reply
    int StampAttempts = 5; // server-time requests before giving up
    int StampPauseMs = 300; // between two of them
    int PhotoPauseMs = 100; // after every photo accepted by the web route
    bool VerifyStores = true; // every FTP store confirmed by the host's SIZE (benchmarks: off)

    static UploadSettings FromConfig()
    {
        UploadSettings s;
        s.WebUrl = ServiceConfig::WebUrl();
        s.UploadUrl = ServiceConfig::UploadUrl();
        s.FtpUrl = ServiceConfig::FtpUrl();
        return s;
    }
};
