// The Page getter's engine against `curl -o` on a 200 MB file from lighttpd.

#include "DownloadBench.h"

#include "getter/PageGetterEngine.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return DownloadBench::run("getter", [](const QString &url, const QString &localPath) {
        QTemporaryDir settingsDir;
        PageGetterEngine engine(SettingsFile(settingsDir.filePath(QStringLiteral("TORVEX.INI"))));
        bool failed = false;
        QObject::connect(&engine, &PageGetterEngine::writeFailed, [&failed] { failed = true; });
        QEventLoop loop;
        QObject::connect(&engine, &ToolEngine::closeRequested, &loop, &QEventLoop::quit);
        engine.start();
        engine.setValues({url, localPath, false, {}});
        engine.startDownload();
        loop.exec();
        engine.stop();
        return !failed;
    });
}
