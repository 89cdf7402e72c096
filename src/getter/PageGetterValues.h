#pragma once

#include <QMetaType>
#include <QString>

// What the Page getter's window shows and the user edits: its four keys.
struct PageGetterValues
{
    QString url;
    QString localPath;
    bool useProxy = false;
    QString proxy;
};

Q_DECLARE_METATYPE(PageGetterValues)
