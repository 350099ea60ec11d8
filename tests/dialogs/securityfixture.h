// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// Trees shared by the dialog tests: a small security template, a user
// template built from it, and a dump of a tree for exact comparisons.

#include "security/model/tcripter.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/imagelist.h"
#include "toolkit/messagebox.h"

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

namespace fixture {

using zkSecurity::TzkNodeRecord;
using zkSecurity::TzkSecurityTemplate;

inline zkSecurity::TreeNode *addNode(TzkSecurityTemplate *tree, zkSecurity::TreeNode *parent,
                                     const QByteArray &caption, qint32 id, int image)
{
    zkSecurity::TreeNode *node = tree->addChild(parent, caption);
    auto record = std::make_unique<TzkNodeRecord>();
    record->SecurityId = id;
    record->setCaption(caption);
    node->setData(std::move(record));
    node->setImages(image);
    return node;
}

/// User
///   File (category): New (1), Open (2)
///   Edit (category)
///     Clipboard (category): Copy (3)
///   Help (4)
inline void fillSecurityTemplate(TzkSecurityTemplate *tree)
{
    zkSecurity::TreeNode *root = addNode(tree, nullptr, QByteArray(), 0, 0);
    root->setText(QByteArrayLiteral("User"));
    zkSecurity::TreeNode *file = addNode(tree, root, QByteArrayLiteral("File"), 0, 2);
    addNode(tree, file, QByteArrayLiteral("New"), 1, 5);
    addNode(tree, file, QByteArrayLiteral("Open"), 2, 6);
    zkSecurity::TreeNode *edit = addNode(tree, root, QByteArrayLiteral("Edit"), 0, 2);
    zkSecurity::TreeNode *clipboard = addNode(tree, edit, QByteArrayLiteral("Clipboard"), 0, 2);
    addNode(tree, clipboard, QByteArrayLiteral("Copy"), 3, 7);
    addNode(tree, root, QByteArrayLiteral("Help"), 4, -1);
}

/// The first node below \a from (a top-level node when nullptr) whose text is
/// \a path's first element, then its child with the second, and so on.
inline zkSecurity::TreeNode *findPath(const zkSecurity::Tree *tree, const QList<QByteArray> &path)
{
    zkSecurity::TreeNode *node = nullptr;
    for (const QByteArray &text : path) {
        zkSecurity::TreeNode *found = nullptr;
        const int n = node ? node->count() : tree->topLevelCount();
        for (int i = 0; i < n && !found; ++i) {
            zkSecurity::TreeNode *candidate = node ? node->item(i) : tree->topLevel(i);
            if (candidate->text() == text)
                found = candidate;
        }
        if (!found)
            return nullptr;
        node = found;
    }
    return node;
}

/// Marks the right at \a path denied, text and flag, as a fresh user has it.
inline void deny(zkSecurity::Tree *tree, const QList<QByteArray> &path)
{
    zkSecurity::TreeNode *node = findPath(tree, path);
    Q_ASSERT(node && node->data());
    node->editData()->setGranted(false);
    node->setText(node->data()->caption() + QByteArrayLiteral(" (No)"));
}

/// Every node in pre-order: level, text, image indexes and the record's bytes.
inline QStringList dump(const zkSecurity::Tree *tree)
{
    QStringList lines;
    for (int i = 0; i < tree->count(); ++i) {
        const zkSecurity::TreeNode *node = tree->nodeAt(i);
        const QByteArray record = node->data() ? node->data()->toBytes().toHex() : QByteArray("-");
        lines << QString::number(node->level()) + u'|' + QString::fromLatin1(node->text()) + u'|'
                + QString::number(node->imageIndex()) + u'|'
                + QString::number(node->selectedIndex()) + u'|' + QString::fromLatin1(record);
    }
    return lines;
}

/// The texts of the nodes in pre-order, indented by level.
inline QStringList texts(const zkSecurity::Tree *tree)
{
    QStringList lines;
    for (int i = 0; i < tree->count(); ++i) {
        const zkSecurity::TreeNode *node = tree->nodeAt(i);
        lines << QString(node->level() * 2, u' ') + QString::fromLatin1(node->text());
    }
    return lines;
}

/// Captures messages and answers questions for the lifetime of the object.
class MessageCapture
{
public:
    explicit MessageCapture(bool answer = true)
        : m_answer(answer)
    {
        m_previous = rightsmith::toolkit::setMessageHook(
            [this](rightsmith::toolkit::MessageKind kind, const QString &text) {
                (kind == rightsmith::toolkit::MessageKind::Question ? questions : messages) << text;
                return m_answer;
            });
    }
    ~MessageCapture() { rightsmith::toolkit::setMessageHook(m_previous); }
    void setAnswer(bool answer) { m_answer = answer; }

    QStringList messages;
    QStringList questions;

private:
    bool m_answer;
    rightsmith::toolkit::MessageHook m_previous;
};

/// Answers the first modal widget that becomes active while the object lives,
/// from inside its modal loop. Unlike a free-running timer it cannot outlive
/// the test and answer a later dialog. A modal dialog still open \a timeoutMs
/// after the object was made (an answer that failed half-way) is rejected, so
/// a failed check never hangs the test.
class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(QWidget *)> answer, int timeoutMs = 10000)
        : m_answer(std::move(answer))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this, timeoutMs] {
            m_elapsed += m_timer.interval();
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && !m_answered) {
                m_answered = true;
                m_answer(modal);
            } else if (m_elapsed >= timeoutMs) {
                m_timer.stop();
                if (auto *dialog = qobject_cast<QDialog *>(modal))
                    dialog->reject();
            }
        });
        m_timer.start();
    }
    bool answered() const { return m_answered; }

private:
    std::function<void(QWidget *)> m_answer;
    QTimer m_timer;
    int m_elapsed = 0;
    bool m_answered = false;
};

inline QByteArray scrambled(const char *plain)
{
    return zkCript::TCripter::Scramble(QByteArray(plain));
}

} // namespace fixture
