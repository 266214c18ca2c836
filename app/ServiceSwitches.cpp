#include "app/ServiceSwitches.h"

#include "views/CommandState.h"

#include <QSettings>

std::unique_ptr<QSettings> OpenServiceSwitches() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Korvane"));
}

bool ReadServiceSwitch(QSettings& settings, const QString& name) {
    if (!settings.contains(name))
        return false;
    const QVariant value = settings.value(name);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong() == 1;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return SwitchIsOn(value.toString().toStdString());
    default:
        return false; // lists and other types are no integer
    }
}
