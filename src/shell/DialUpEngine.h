#pragma once

#include "platform/ToolEngine.h"

#include <QString>
#include <QStringList>

#include <functional>

// The Dial-up launcher's engine: finds the default dial-up connection and
// starts the dialler for a named one without waiting for it.
class DialUpEngine : public ToolEngine
{
    Q_OBJECT

public:
    // Starts a program detached; true when it started.
    using Starter = std::function<bool(const QString &program, const QStringList &arguments)>;

    // root: where etc/ppp/peers is looked for. The starter defaults to
    // QProcess::startDetached.
    explicit DialUpEngine(QString root = QStringLiteral("/"), Starter starter = {}, QObject *parent = nullptr);

    static QString procedureName();

public slots:
    void dial(const QString &connectionName);

signals:
    void connectionNameLoaded(const QString &name);

protected:
    void onStart() override;

private:
    QString m_root;
    Starter m_starter;
};
