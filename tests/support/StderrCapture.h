#pragma once

#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// Collects what the process writes to stderr while it lives, so tests can read the log lines.
class StderrCapture final
{
public:
    StderrCapture()
    {
        static_cast<void>(m_file.open());
        std::fflush(stderr);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture()
    {
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
    Q_DISABLE_COPY_MOVE(StderrCapture)

    // The lines written so far that start with prefix.
    QStringList lines(const QString &prefix = {}) const
    {
        std::fflush(stderr);
        QFile file(m_file.fileName());
        static_cast<void>(file.open(QIODevice::ReadOnly));
        return QString::fromUtf8(file.readAll())
            .split('\n', Qt::SkipEmptyParts)
            .filter(QRegularExpression('^' + QRegularExpression::escape(prefix)));
    }

private:
    QTemporaryFile m_file;
    int m_saved = ::dup(STDERR_FILENO);
};
