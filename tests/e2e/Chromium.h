#pragma once

// Headless Chromium for page tests: the DOM of a page after its scripts ran.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QUrl>

namespace zk::testing {

inline const QString ChromiumPath = QStringLiteral("/usr/bin/chromium");

inline bool chromiumInstalled()
{
    return QFile::exists(ChromiumPath);
}

// `profile` is a new empty folder for the browser's own files.
inline QString dumpDom(const QString &page, const QString &profile)
{
    QProcess browser;
    browser.start(ChromiumPath, {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                                 QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
                                 QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
                                 QStringLiteral("--disable-quic"), QStringLiteral("--user-data-dir=") + profile,
                                 QStringLiteral("--virtual-time-budget=5000"), QStringLiteral("--dump-dom"),
                                 QUrl::fromLocalFile(page).toString()});
    if (!browser.waitForFinished(90000)) {
        browser.kill();
        browser.waitForFinished();
        ADD_FAILURE() << "Chromium did not finish";
    }
    return QString::fromUtf8(browser.readAllStandardOutput());
}

} // namespace zk::testing
