#pragma once

#include "TestWorkerStarter.h"
#include "crawler/CrawlerEngine.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

// One Crawler engine on the test's thread with its own Settings file and mirror
// root, handing pictures to real Download worker engines.
struct TestCrawler
{
    QTemporaryDir work;
    TestWorkerStarter starter;
    std::unique_ptr<CrawlerEngine> engine;

    explicit TestCrawler(const QString &root = QString());
    ~TestCrawler();

    // The mirror root, with its final "/".
    QString root() const;
    // Crawls from address until "- gotovo -"; false when the crawl did not end in time.
    bool crawl(const QString &address, bool pictures, bool overwrite = false, bool convertLinks = false);
};
