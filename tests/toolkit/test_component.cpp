// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Components of a form: order, lookup by name, design mode, and the start-up
// notification after loading.
#include "toolkit/component.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Component;

namespace {

QObject *named(QObject *owner, const QString &name)
{
    auto *object = new QObject(owner);
    object->setObjectName(name);
    return object;
}

QStringList names(const QList<QObject *> &objects)
{
    QStringList result;
    for (const QObject *object : objects)
        result << object->objectName();
    return result;
}

/// A component that writes its name into a log when it is notified.
class Probe : public QObject, public Component
{
public:
    Probe(QObject *owner, const QString &name, QStringList *log)
        : QObject(owner)
        , m_log(log)
    {
        setObjectName(name);
    }
    void Loaded() override
    {
        m_log->append(objectName());
        if (onLoaded)
            onLoaded();
    }
    std::function<void()> onLoaded;

private:
    QStringList *m_log;
};

} // namespace

TEST(Components, AreTheDescendantsInPreOrderOfCreation)
{
    QObject form;
    QObject *a = named(&form, u"a"_s);
    named(a, u"a1"_s);
    QObject *b = named(&form, u"b"_s);
    named(b, u"b1"_s);
    named(a, u"a2"_s);
    EXPECT_EQ(names(rightsmith::toolkit::components(&form)),
              (QStringList {u"a"_s, u"a1"_s, u"a2"_s, u"b"_s, u"b1"_s}));

    // A component moved to another owner counts as created there when it arrives.
    a->setParent(b);
    EXPECT_EQ(names(rightsmith::toolkit::components(&form)),
              (QStringList {u"b"_s, u"b1"_s, u"a"_s, u"a1"_s, u"a2"_s}));
    EXPECT_TRUE(rightsmith::toolkit::components(nullptr).isEmpty());
}

TEST(Components, FindByNameIgnoresLetterCaseAndTakesTheFirst)
{
    QObject form;
    form.setObjectName(u"MainForm"_s);
    QObject *panel = named(&form, u"pnlTop"_s);
    QObject *edit = named(panel, u"edtUserName"_s);
    named(&form, u"EDTUSERNAME"_s);
    named(&form, QString());

    EXPECT_EQ(rightsmith::toolkit::findComponent(&form, u"edtusername"_s), edit);
    EXPECT_EQ(rightsmith::toolkit::findComponent(&form, u"PNLTOP"_s), panel);
    EXPECT_EQ(rightsmith::toolkit::findComponent(&form, u"edtUser"_s), nullptr);
    // The owner is not one of its own components, and no name finds an unnamed one.
    EXPECT_EQ(rightsmith::toolkit::findComponent(&form, u"MainForm"_s), nullptr);
    EXPECT_EQ(rightsmith::toolkit::findComponent(&form, QString()), nullptr);
}

TEST(Components, DesignModeComesFromTheComponentOrAnOwner)
{
    QObject form;
    QObject *panel = named(&form, u"panel"_s);
    QObject *button = named(panel, u"button"_s);
    QObject other;

    EXPECT_FALSE(rightsmith::toolkit::isDesignMode(button));
    rightsmith::toolkit::setDesignMode(&form, true);
    EXPECT_TRUE(rightsmith::toolkit::isDesignMode(&form));
    EXPECT_TRUE(rightsmith::toolkit::isDesignMode(button));
    EXPECT_FALSE(rightsmith::toolkit::isDesignMode(&other));

    rightsmith::toolkit::setDesignMode(&form, false);
    EXPECT_FALSE(rightsmith::toolkit::isDesignMode(button));
    rightsmith::toolkit::setDesignMode(panel, true);
    EXPECT_TRUE(rightsmith::toolkit::isDesignMode(button));
    EXPECT_FALSE(rightsmith::toolkit::isDesignMode(&form));
    EXPECT_FALSE(rightsmith::toolkit::isDesignMode(nullptr));
}

TEST(Components, FinishLoadingNotifiesTheFormAndEveryComponentInCreationOrder)
{
    QStringList log;
    Probe form(nullptr, u"form"_s, &log);
    auto *list = new Probe(&form, u"list"_s, &log);
    QObject *panel = named(&form, u"panel"_s); // not a component: skipped
    new Probe(panel, u"edit"_s, &log);
    new Probe(list, u"action"_s, &log);
    new Probe(&form, u"security"_s, &log);

    rightsmith::toolkit::finishLoading(&form);
    EXPECT_EQ(log, (QStringList {u"form"_s, u"list"_s, u"action"_s, u"edit"_s, u"security"_s}));
}

TEST(Components, FinishLoadingSkipsWhatLoadedDestroysAndDoesNotNotifyWhatItCreates)
{
    QStringList log;
    QObject form;
    auto *first = new Probe(&form, u"first"_s, &log);
    QPointer<Probe> doomed = new Probe(&form, u"doomed"_s, &log);
    new Probe(&form, u"last"_s, &log);
    first->onLoaded = [&] {
        delete doomed.data();
        new Probe(&form, u"late"_s, &log);
    };

    rightsmith::toolkit::finishLoading(&form);
    EXPECT_EQ(log, (QStringList {u"first"_s, u"last"_s}));
    EXPECT_NE(rightsmith::toolkit::findComponent(&form, u"late"_s), nullptr);
}
