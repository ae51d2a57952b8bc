// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "panes/MarkKeyControls.h"

#include "base/Printable.h"
#include "mark/MarkDetector.h"
#include "mark/MarkKey.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
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
    connect(findMark, &QAbstractButton::clicked, this, [this] {
        choose(QStringLiteral("Find the mark in photos"), false, &MarkKeyControls::findPanelDidEnd);
    });
    showFingerprint();
}

void MarkKeyControls::setKeyPath(const QString &path)
{
    m_keyPath = path;
    showFingerprint();
}

void MarkKeyControls::showFingerprint()
{
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
    dialog->setFileMode(saving                                     ? QFileDialog::AnyFile
                        : end == &MarkKeyControls::findPanelDidEnd ? QFileDialog::ExistingFiles
                                                                   : QFileDialog::ExistingFile);
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

QString MarkKeyControls::findPanelDidEnd(int result, const QStringList &paths)
{
    if (result != QDialog::Accepted || paths.isEmpty())
        return {};
    const Result<MarkKey> key = MarkKey::load(m_keyPath);
    if (!key)
        return QStringLiteral("There is no mark key to look with: %1").arg(printable(key.reason()));
    const MarkDetector detector(*key);
    QStringList lines;
    for (const QString &path : paths) {
        const Result<MarkFinding> finding = detector.findInFile(path);
        const QString name = printable(QFileInfo(path).fileName());
        if (!finding)
            lines.append(
                QStringLiteral("%1: can't be read: %2").arg(name, printable(finding.reason())));
        else if (finding->found)
            lines.append(QStringLiteral("%1: mark %2 serial %3")
                             .arg(name)
                             .arg(finding->payload.id)
                             .arg(finding->payload.serial));
        else
            lines.append(QStringLiteral("%1: no mark").arg(name));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace inkveil
