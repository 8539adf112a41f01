#pragma once

#include "seriallink/serial/PortList.h"

#include <QJsonObject>
#include <QStringList>

// What `ports` shows of `present`: each port with what tells it apart and what stands in its way, in COM
// order and the system console after them; then the utility's COM ports, and past them each one that
// reaches a device present or a named one. `present` must be a whole listing.
QJsonObject PortReport(const PortListing& present);

// The same as lines of text.
QStringList PortReportLines(const QJsonObject& report);
