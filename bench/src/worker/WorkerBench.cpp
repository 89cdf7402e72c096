// One Download worker's engine against `curl -o` on a 200 MB file from lighttpd.

#include "DownloadBench.h"

#include "crawler/DownloadWorkerEngine.h"

#include <QCoreApplication>
#include <QEventLoop>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return DownloadBench::run("worker", [](const QString &url, const QString &localPath) {
        DownloadWorkerEngine engine(0, {url, localPath, {}, false});
        QEventLoop loop;
        QObject::connect(&engine, &ToolEngine::closeRequested, &loop, &QEventLoop::quit);
        engine.start();
        loop.exec();
        engine.stop();
        return engine.attemptsMade() == 1;
    });
}
