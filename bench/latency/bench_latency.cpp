// How soon a frame that arrives on the serial line is dispatched: the peer writes a
// handshake reply into the pseudo-terminal, and the time until the station has shown its
// answer is measured, with the receive poll scheduled as in the program. Prints figures.
#include "link/Frame.h"
#include "support/StationFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StationFixture f;
    if (!f.openSerialPeer())
        return 1;
    f.w().SERIAL_RX->start();
    const QByteArray reply = Frame::frame(QByteArray::fromHex("4001650000000000000061"));

    QList<double> micros;
    for (int i = 0; i < 200; ++i) {
        f.w().FR_ERROR->show();
        QEventLoop idle; // a quiet moment between frames
        QTimer::singleShot(5, &idle, &QEventLoop::quit);
        idle.exec();
        QElapsedTimer t;
        t.start();
        f.peer().write(reply);
        while (!f.w().FR_ERROR->isHidden() && t.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        micros.append(t.nsecsElapsed() / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    std::printf(
        "Frame arrival to dispatch, 200 frames: median %.0f us, 95th %.0f us, worst %.0f us\n",
        micros[100], micros[190], micros.last());
    return 0;
}
