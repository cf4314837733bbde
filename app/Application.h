// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QApplication>

class QSocketNotifier;

// The program's application object. The program ends itself with exit(), so
// a request to quit always comes from outside: the session manager's "die"
// at the end of the session, which may come without a request to save
// first, or SIGTERM, which a desktop sends as it shuts down and which is
// taken as the same request. quitRequested is told before Qt closes the
// windows, so that they can close without asking anything.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int &argc, char **argv);
    ~Application() override;

signals:
    void quitRequested();

protected:
    bool event(QEvent *event) override;

private:
    void terminateRequested();

    QSocketNotifier *terminate = nullptr;
};
