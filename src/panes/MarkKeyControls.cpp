// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/MarkKeyControls.h"

#include "base/Printable.h"
#include "mark/MarkKey.h"
#include "panes/FindMarkWindow.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>

namespace inkveil {

MarkKeyControls::MarkKeyControls(QLabel *fingerprint, QAbstractButton *exportKey,
                                 QAbstractButton *importKey, QAbstractButton *findMark,
                                 QObject *parent)
    : QObject(parent)
    , m_fingerprint(fingerprint)
    , m_keyPath(MarkKey::defaultPath())
{
    connect(exportKey, &QAbstractButton::clicked, this, [this] {
        choose(QStringLiteral("Export the mark key"), true, &MarkKeyControls::exportPanelDidEnd);
    });
    connect(importKey, &QAbstractButton::clicked, this, [this] {
        choose(QStringLiteral("Import a mark key"), false, &MarkKeyControls::importPanelDidEnd);
    });
    connect(findMark, &QAbstractButton::clicked, this, &MarkKeyControls::findMark);
    showFingerprint();
}

void MarkKeyControls::setKeyPath(const QString &path)
{
    m_keyPath = path;
    showFingerprint();
}

void MarkKeyControls::showFingerprint()
{
    if (m_findMarkWindow)
        m_findMarkWindow->setKeyPath(m_keyPath);
    if (!m_fingerprint)
        return;
    const Result<MarkKey> key = MarkKey::load(m_keyPath);
    m_fingerprint->setText(key ? QStringLiteral("Key %1").arg(key->fingerprint())
                               : QStringLiteral("No key yet: one is made at the first marked run"));
}

void MarkKeyControls::choose(const QString &title, bool saving,
                             QString (MarkKeyControls::*end)(int, const QStringList &))
{
    QWidget *window = m_fingerprint ? m_fingerprint->window() : nullptr;
    auto *dialog = new QFileDialog(window, title);
    dialog->setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::finished, this, [this, dialog, end](int result) {
        tell((this->*end)(result, dialog->selectedFiles()));
    });
    dialog->open();
}

void MarkKeyControls::tell(const QString &text) const
{
    if (text.isEmpty())
        return;
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Invisible mark"), text,
                                QMessageBox::Ok, m_fingerprint ? m_fingerprint->window() : nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QString MarkKeyControls::exportPanelDidEnd(int result, const QStringList &paths)
{
    if (result != QDialog::Accepted || paths.size() != 1)
        return {};
    Result<MarkKey> key = MarkKey::loadOrCreate(m_keyPath);
    if (key)
        showFingerprint();
    const Result<void> saved = key ? key->save(paths.first()) : Result<void>(key.error());
    if (!saved)
        return QStringLiteral("The key was not exported: %1").arg(printable(saved.reason()));
    return QStringLiteral("Key %1 exported to %2. Keep it safe: whoever has it can read and "
                          "remove your marks.")
        .arg(key->fingerprint(), printable(paths.first()));
}

QString MarkKeyControls::importPanelDidEnd(int result, const QStringList &paths)
{
    if (result != QDialog::Accepted || paths.size() != 1)
        return {};
    const Result<MarkKey> key = MarkKey::load(paths.first());
    const Result<void> saved = key ? key->save(m_keyPath) : Result<void>(key.error());
    showFingerprint();
    if (!saved)
        return QStringLiteral("The key was not imported: %1").arg(printable(saved.reason()));
    return QStringLiteral("Key %1 imported: new marks are made, and marks are found, with it.")
        .arg(key->fingerprint());
}

void MarkKeyControls::findMark()
{
    if (!m_findMarkWindow) {
        m_findMarkWindow =
            new FindMarkWindow(m_keyPath, m_fingerprint ? m_fingerprint->window() : nullptr);
        m_findMarkWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_findMarkWindow->show();
    m_findMarkWindow->raise();
    m_findMarkWindow->activateWindow();
}

} // namespace inkveil
