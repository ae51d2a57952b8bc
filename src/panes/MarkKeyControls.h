// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class QAbstractButton;
class QLabel;
class QWidget;

namespace inkveil {

class FindMarkWindow;

// The output pane's controls of the invisible mark's key: its fingerprint, export and import
// (a photographer moving to a new computer takes the key along to keep finding old marks), and
// "Find Mark…", which opens the window that looks for the mark in photos dropped or chosen.
class MarkKeyControls : public QObject
{
    Q_OBJECT

public:
    MarkKeyControls(QLabel *fingerprint, QAbstractButton *exportKey, QAbstractButton *importKey,
                    QAbstractButton *findMark, QObject *parent);

    // The key file the controls work on (tests use another).
    void setKeyPath(const QString &path);
    // Ends of the choosers: export writes the key to the one path chosen, import replaces the
    // key with the one in the file chosen; a cancelled chooser does nothing. Each answers what
    // it tells the user (empty when nothing happened).
    QString exportPanelDidEnd(int result, const QStringList &paths);
    QString importPanelDidEnd(int result, const QStringList &paths);
    // Shows the Find Mark window over the pane's, made at the first call and raised after.
    void findMark();

private:
    void showFingerprint();
    void choose(const QString &title, bool saving,
                QString (MarkKeyControls::*end)(int, const QStringList &));
    void tell(const QString &text) const;

    QPointer<QLabel> m_fingerprint;
    QString m_keyPath;
    QPointer<FindMarkWindow> m_findMarkWindow;
};

} // namespace inkveil
