// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Extra binary properties of a component: defining, reading and writing blobs.
#include "toolkit/error.h"
#include "toolkit/propertyfiler.h"

#include <QIODevice>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::PropertyFiler;

namespace {

/// A component with two blobs, "evTree" and "evImage", kept as plain bytes.
class Holder : public rightsmith::toolkit::PropertyFilerClient
{
public:
    void DefineProperties(PropertyFiler &filer) override
    {
        filer.defineBinaryProperty(
            u"evTree"_s, [this](QIODevice &device) { tree = device.readAll(); },
            [this](QIODevice &device) { device.write(tree); }, !tree.isEmpty());
        filer.defineBinaryProperty(
            u"evImage"_s,
            [this](QIODevice &device) {
                if (device.size() < 4)
                    throw rightsmith::toolkit::Error(u"Stream read error"_s);
                image = device.readAll();
            },
            [this](QIODevice &device) { device.write(image); }, true);
    }
    QByteArray tree;
    QByteArray image;
};

} // namespace

TEST(PropertyFiler, ReadsEachBlobIntoItsPropertyIgnoringCaseAndUnknownNames)
{
    Holder holder;
    rightsmith::toolkit::loadStoredProperties(holder,
                                              {{u"EVTREE"_s, QByteArrayLiteral("tree\0bytes")},
                                               {u"evUnknown"_s, QByteArrayLiteral("ignored")},
                                               {u"evImage"_s, QByteArrayLiteral("image")}});
    EXPECT_EQ(holder.tree, QByteArrayLiteral("tree\0bytes"));
    EXPECT_EQ(holder.image, QByteArrayLiteral("image"));
}

TEST(PropertyFiler, WritesOnlyPropertiesWithData)
{
    Holder holder;
    holder.image = QByteArrayLiteral("\x01\x02\x03\x04");
    const auto stored = rightsmith::toolkit::storedProperties(holder);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.at(0).first, u"evImage"_s);
    EXPECT_EQ(stored.at(0).second, holder.image);

    holder.tree = QByteArrayLiteral("t");
    const auto both = rightsmith::toolkit::storedProperties(holder);
    ASSERT_EQ(both.size(), 2);
    EXPECT_EQ(both.at(0).first, u"evTree"_s);

    // A round trip through a second holder gives the same bytes.
    Holder copy;
    rightsmith::toolkit::loadStoredProperties(copy, both);
    EXPECT_EQ(copy.tree, holder.tree);
    EXPECT_EQ(copy.image, holder.image);
}

TEST(PropertyFiler, AFailingReaderReachesTheCaller)
{
    Holder holder;
    try {
        rightsmith::toolkit::loadStoredProperties(holder,
                                                  {{u"evImage"_s, QByteArrayLiteral("ab")}});
        ADD_FAILURE() << "no error";
    } catch (const rightsmith::toolkit::Error &error) {
        // The reader's own message first, then the property it came from.
        EXPECT_EQ(error.message(),
                  u"Stream read error\n(read from the stored property \"evImage\")"_s);
    }
    EXPECT_TRUE(holder.image.isEmpty());
}

TEST(PropertyFiler, SingleFilerOperations)
{
    PropertyFiler filer;
    QByteArray seen;
    filer.defineBinaryProperty(
        u"evTree"_s, [&](QIODevice &device) { seen = device.readAll(); }, {}, true);
    // Defining the same name again replaces the earlier definition.
    filer.defineBinaryProperty(
        u"EvTree"_s, [&](QIODevice &device) { seen = "second:" + device.readAll(); },
        [](QIODevice &device) { device.write("out"); }, true);
    ASSERT_EQ(filer.properties().size(), 1);

    EXPECT_TRUE(filer.readProperty(u"evtree"_s, QByteArrayLiteral("x")));
    EXPECT_EQ(seen, QByteArrayLiteral("second:x"));
    EXPECT_FALSE(filer.readProperty(u"evImage"_s, QByteArrayLiteral("x")));
    EXPECT_EQ(filer.writeProperty(u"evTree"_s), QByteArrayLiteral("out"));
    EXPECT_TRUE(filer.writeProperty(u"evImage"_s).isEmpty());
}
