#pragma once

// libcurl's global set-up is not thread-safe and must run once before any handle exists; every
// client calls this before it makes its handle.
void EnsureCurlGlobal();
