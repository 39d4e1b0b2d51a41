#pragma once

#include "devsim/net/NetSimConfig.h"

#include <QCommandLineParser>
#include <QJsonValue>
#include <QString>

namespace lvx {

// The network part's command-line options:
//   --net-loopback    keep every datagram on this machine (the default)
//   --net-real        the real addresses on the default interface (network namespaces only)
//   --net-devices N   N default devices instead of the configured ones
void AddNetSimOptions(QCommandLineParser& parser);

// The network part's configuration: the "network" section of the configuration file
// (undefined when there is none), then the options over it.
bool NetSimConfigFromOptions(const QCommandLineParser& parser, const QJsonValue& section,
                             const QString& baseDir, NetSimConfig& config, QString& error);

} // namespace lvx
