#include "Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>

namespace pimlo {
namespace {

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stream);
}

// The string escapes of a desktop entry value.
QString escapeValue(QString value)
{
    return value.replace(u'\\', QLatin1String("\\\\"))
        .replace(u'\n', QLatin1String("\\n"))
        .replace(u'\t', QLatin1String("\\t"))
        .replace(u'\r', QLatin1String("\\r"));
}

// One argument of an Exec line: quoted when it holds a reserved character, with '"', '`', '$'
// and '\' escaped inside the quotes; '%' doubled so it is not read as a field code.
QString execArgument(QString argument)
{
    argument.replace(u'%', QLatin1String("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (std::none_of(argument.cbegin(), argument.cend(),
                     [](QChar c) { return reserved.contains(c); }))
        return argument;
    QString quoted;
    for (const QChar c : std::as_const(argument)) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return u'"' + quoted + u'"';
}

} // namespace

QString Autostart::entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/local.pimlo.Pimlo.desktop");
}

QString Autostart::entryText(const QString &executable)
{
    // TryExec lets the desktop skip the entry quietly once this binary is gone.
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Pimlo\n"
                          "Comment=会走路、会打盹、还能陪你聊天的桌面伙伴\n"
                          "Icon=local.pimlo.Pimlo\n"
                          "Exec=%1\n"
                          "TryExec=%2\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(escapeValue(execArgument(executable)), escapeValue(executable));
}

int Autostart::apply(bool on)
{
    const QString path = entryPath();
    if (!on) {
        if (!QFile::exists(path)) {
            printLine(stdout,
                      QStringLiteral("登录时自动启动本来就是关闭的（%1 不存在）。").arg(path));
            return 0;
        }
        QFile entry(path);
        if (!entry.remove()) {
            printLine(stderr,
                      QStringLiteral("pimlo：无法删除 %1：%2").arg(path, entry.errorString()));
            return 1;
        }
        printLine(stdout, QStringLiteral("已关闭登录时自动启动：删除了 %1。").arg(path));
        return 0;
    }

    // The absolute path of this very binary: the login session need not have the PATH of the
    // terminal it was typed in, and a build-tree binary has to start as well as an installed one.
    QSaveFile file(path);
    const bool written =
        QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
        file.write(entryText(QCoreApplication::applicationFilePath()).toUtf8()) >= 0 &&
        file.commit();
    if (!written) {
        printLine(stderr, QStringLiteral("pimlo：无法写入 %1：%2").arg(path, file.errorString()));
        return 1;
    }
    printLine(stdout, QStringLiteral("已开启登录时自动启动：写入了 %1。").arg(path));
    return 0;
}

} // namespace pimlo
