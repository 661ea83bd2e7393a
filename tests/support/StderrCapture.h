#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <unistd.h>

// Collects what the process writes to stderr while it lives, so tests can read the log lines.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_file = std::tmpfile();
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(::fileno(m_file), STDERR_FILENO);
    }
    ~StderrCapture()
    {
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        std::fclose(m_file);
    }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    // The lines written so far that start with prefix.
    QStringList lines(const QString &prefix = QString()) const
    {
        std::fflush(stderr);
        QByteArray text;
        std::rewind(m_file);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            text.append(buffer, qsizetype(n));
        std::fseek(m_file, 0, SEEK_END);
        QStringList result;
        for (const QString &line : QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(prefix))
                result << line;
        }
        return result;
    }

private:
    std::FILE *m_file = nullptr;
    int m_saved = -1;
};
