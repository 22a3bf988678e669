#include "util/CurlGlobal.h"

#include <curl/curl.h>

void EnsureCurlGlobal()
{
    // A function-local static: initialised exactly once, even with threads racing to it.
    struct Global
    {
        Global() { curl_global_init(CURL_GLOBAL_DEFAULT); }
        ~Global() { curl_global_cleanup(); }
    };
    static Global global;
}
