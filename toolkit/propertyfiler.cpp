// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/propertyfiler.h"

#include "toolkit/error.h"

#include <QBuffer>
#include <QCoreApplication>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace rightsmith::toolkit {

namespace {

template<typename List> auto findProperty(List &properties, const QString &name)
{
    return std::find_if(properties.begin(), properties.end(), [&name](const auto &property) {
        return property.name.compare(name, Qt::CaseInsensitive) == 0;
    });
}

} // namespace

PropertyFilerClient::~PropertyFilerClient() = default;

void PropertyFiler::defineBinaryProperty(const QString &name, Reader reader, Writer writer,
                                         bool hasData)
{
    Property property {name, std::move(reader), std::move(writer), hasData};
    auto it = findProperty(m_properties, name);
    if (it != m_properties.end())
        *it = std::move(property);
    else
        m_properties.append(std::move(property));
}

bool PropertyFiler::readProperty(const QString &name, const QByteArray &blob) const
{
    const auto it = findProperty(m_properties, name);
    if (it == m_properties.cend() || !it->reader)
        return false;
    // The reader gets its own copy: whatever it does to the device, the
    // caller's bytes stay as they were.
    QByteArray bytes = blob;
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    try {
        it->reader(device);
    } catch (const Error &error) {
        // Said first as it is, then which stored data it is about.
        throw Error(QCoreApplication::translate("rightsmith::toolkit::PropertyFiler",
                                                "%1\n(read from the stored property \"%2\")")
                        .arg(error.message(), it->name));
    }
    return true;
}

QByteArray PropertyFiler::writeProperty(const QString &name) const
{
    const auto it = findProperty(m_properties, name);
    if (it == m_properties.cend() || !it->hasData || !it->writer)
        return {};
    QByteArray bytes;
    QBuffer device(&bytes);
    device.open(QIODevice::WriteOnly);
    it->writer(device);
    device.close();
    return bytes;
}

void loadStoredProperties(PropertyFilerClient &component,
                          const QList<QPair<QString, QByteArray>> &blobs)
{
    PropertyFiler filer;
    component.DefineProperties(filer);
    for (const auto &[name, bytes] : blobs)
        filer.readProperty(name, bytes);
}

QList<QPair<QString, QByteArray>> storedProperties(PropertyFilerClient &component)
{
    PropertyFiler filer;
    component.DefineProperties(filer);
    QList<QPair<QString, QByteArray>> result;
    for (const PropertyFiler::Property &property : filer.properties()) {
        if (property.hasData && property.writer)
            result.append({property.name, filer.writeProperty(property.name)});
    }
    return result;
}

} // namespace rightsmith::toolkit
