#pragma once

#include <QString>

#include <functional>

// The frame of the download benchmarks: a 200 MB file served by lighttpd on
// loopback, fetched by one of our engines and by `curl -o`, timed, checked,
// and printed with our peak resident memory above the idle process.
namespace DownloadBench {

// fetch(url, localPath) runs our side to its end; it returns false on a failure.
int run(const char *name, const std::function<bool(const QString &url, const QString &localPath)> &fetch);

} // namespace DownloadBench
