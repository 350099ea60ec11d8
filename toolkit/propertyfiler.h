// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class QIODevice;

namespace rightsmith::toolkit {

/// The filer through which a component defines extra binary properties that
/// travel with its form ("evTree", "evImage"). Each property is a named blob
/// with a reader (given a device holding exactly the blob, at position 0) and
/// a writer.
class RIGHTSMITH_CORE_EXPORT PropertyFiler
{
public:
    /// Reads a property from \a device, which holds exactly its blob, at position 0.
    using Reader = std::function<void(QIODevice &device)>;
    /// Writes a property's blob to \a device.
    using Writer = std::function<void(QIODevice &device)>;

    /// One defined property.
    struct Property
    {
        /// The property's name.
        QString name;
        /// Reads the property's blob.
        Reader reader;
        /// Writes the property's blob.
        Writer writer;
        /// False: the property is not written this time.
        bool hasData = true;
    };

    /// Defines property \a name (names compare ignoring case, as in a form
    /// file). \a hasData false: the property is not written this time.
    /// Defining a name again replaces the earlier definition.
    void defineBinaryProperty(const QString &name, Reader reader, Writer writer, bool hasData);
    /// The defined properties, in definition order.
    QList<Property> properties() const { return m_properties; }

    /// Hands \a blob to the reader of property \a name; false when no such
    /// property (or it has no reader). What the reader throws passes through.
    bool readProperty(const QString &name, const QByteArray &blob) const;
    /// The bytes the writer of property \a name produces (empty for none).
    QByteArray writeProperty(const QString &name) const;

private:
    QList<Property> m_properties;
};

/// A component with extra binary properties.
class RIGHTSMITH_CORE_EXPORT PropertyFilerClient
{
public:
    virtual ~PropertyFilerClient();
    /// Defines the component's properties on \a filer (PropertyFiler::defineBinaryProperty()).
    virtual void DefineProperties(PropertyFiler &filer) = 0;
};

/// Reads the stored properties of \a component from \a blobs (name -> bytes),
/// in the order given. Names the component does not define are skipped; what
/// a reader throws (a damaged blob) passes through to the caller.
RIGHTSMITH_CORE_EXPORT void loadStoredProperties(PropertyFilerClient &component,
                                                 const QList<QPair<QString, QByteArray>> &blobs);
/// The stored properties of \a component as the form would hold them: every
/// defined property with data and a writer, in definition order.
RIGHTSMITH_CORE_EXPORT QList<QPair<QString, QByteArray>>
storedProperties(PropertyFilerClient &component);

} // namespace rightsmith::toolkit
