#pragma once

// Steps of the scripted FTP server (scripted_ftp.py), built in C++.
#include <QJsonArray>
#include <QList>
#include <QString>

namespace zk::testing {

inline QJsonArray steps(std::initializer_list<QJsonArray> list)
{
    QJsonArray a;
    for (const QJsonArray &s : list)
        a.append(s);
    return a;
}
inline QJsonArray send(const char *text) { return {QStringLiteral("send"), QString::fromLatin1(text)}; }
inline QJsonArray expect() { return {QStringLiteral("expect")}; }
inline QJsonArray act(const char *kind) { return {QString::fromLatin1(kind)}; }
inline QJsonArray act(const char *kind, double value) { return {QString::fromLatin1(kind), value}; }
inline QJsonArray pasv(const char *text) { return {QStringLiteral("pasv"), QString::fromLatin1(text)}; }
inline QJsonArray sleepFor(double seconds) { return act("sleep", seconds); }
// The client's QUIT, answered.
inline QJsonArray quitCommand() { return expect(); }
inline QJsonArray bye() { return send("221 bye\r\n"); }

// The greeting and login every scripted exchange begins with.
inline QList<QJsonArray> login()
{
    return {send("220 ready\r\n"), expect(), send("331 password\r\n"), expect(), send("230 in\r\n"), expect(),
            send("200 binary\r\n")};
}

// A run after one that wrote a record there reads it without asking SIZE
// first: a passive connection and a RETR, which this server refuses (it
// keeps no record).
inline QList<QJsonArray> noRecord()
{
    return {expect(), pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"), expect(), send("550 No such file.\r\n")};
}

// The record of the publication, the run's last upload (its SIZE, RNFR and
// RNTO answered by the server's bookkeeping).
inline QList<QJsonArray> recordUpload(bool active = false)
{
    return {expect(), active ? send("200 PORT ok\r\n") : pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"), expect(),
            send("150 go\r\n"), act("data_recv"), send("226 done\r\n")};
}

inline QJsonArray script(const QList<QJsonArray> &head, std::initializer_list<QJsonArray> tail)
{
    QJsonArray a;
    for (const QJsonArray &s : head)
        a.append(s);
    for (const QJsonArray &s : tail)
        a.append(s);
    return a;
}

} // namespace zk::testing
