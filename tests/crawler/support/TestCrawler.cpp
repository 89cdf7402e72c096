#include "TestCrawler.h"

#include "platform/SettingsFile.h"

#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

constexpr int CrawlLimitMs = 30000;

} // namespace

TestCrawler::TestCrawler(const QString &root)
{
    engine = std::make_unique<CrawlerEngine>(
        SettingsFile(work.filePath(u"TORVEX.INI"_s)), root.isEmpty() ? work.path() : root, &starter);
    engine->setReadLimit(std::chrono::milliseconds(1500));
    engine->start();
}

TestCrawler::~TestCrawler()
{
    engine->stop();
}

QString TestCrawler::root() const
{
    return engine->localPathOf(u"http://x/"_s).chopped(u"x/index.htm"_s.size());
}

bool TestCrawler::crawl(const QString &address, bool pictures, bool overwrite, bool convertLinks)
{
    CrawlerEngine::Fields fields = engine->fields();
    fields.address = address;
    fields.pictures = pictures;
    fields.overwrite = overwrite;
    fields.convertLinks = convertLinks;
    engine->setFields(fields);
    QSignalSpy finished(engine.get(), &CrawlerEngine::crawlFinished);
    engine->startCrawl();
    return finished.wait(CrawlLimitMs) || finished.count() > 0;
}
