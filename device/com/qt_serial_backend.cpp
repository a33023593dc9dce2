// The serial backend on QSerialPort. QSerialPort makes the port exclusive
// with a lock file (which, unlike TIOCEXCL, also holds against a second
// opener running as root), sets the line, and reads without waiting. Two
// things are added here: a write is bounded in time, and on POSIX systems it
// also waits, within the same bound, until the driver's output queue has
// drained, so that "written" means the bytes left the port and a line whose
// CTS stays low fails the write instead of stalling the close.
#include <algorithm>
#include <memory>

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QString>

#include "device/com/com_port.h"

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>

#include <chrono>
#include <thread>
#endif

namespace {

class QtSerialBackend : public ISerialBackend {
public:
    ~QtSerialBackend() override { Close(); }

    bool Open(const std::string& device) override
    {
        Close();
        auto port = std::make_unique<QSerialPort>();
        port->setPortName(QString::fromStdString(device));
        port->setBaudRate(QSerialPort::Baud9600);
        port->setDataBits(QSerialPort::Data8);
        port->setParity(QSerialPort::NoParity);
        port->setStopBits(QSerialPort::OneStop);
        // CTS gates our output; RTS is asserted by the driver while the port
        // is open and has room to receive.
        port->setFlowControl(QSerialPort::HardwareControl);
        if (!port->open(QIODevice::ReadWrite)) {
            m_error = port->errorString().toStdString();
            return false;
        }
        // Modem-line calls fail on some devices (pseudo-terminals); that is
        // no reason to refuse the port.
        port->setDataTerminalReady(true);
        port->clear(QSerialPort::Input);
        port->clearError();
        m_port = std::move(port);
        m_error.clear();
        return true;
    }

    void Close() override
    {
        if (!m_port)
            return;
        m_port->close();
        m_port.reset();
    }

    bool IsOpen() const override { return m_port && m_port->isOpen(); }

    bool Write(const std::uint8_t* bytes, int count, int timeoutMs) override
    {
        if (!IsOpen())
            return false;
        QDeadlineTimer deadline(std::max(timeoutMs, 0));
        const qint64 queued = m_port->write(reinterpret_cast<const char*>(bytes), count);
        if (queued != count)
            return Fail();
        while (m_port->bytesToWrite() > 0) {
            const int left = static_cast<int>(deadline.remainingTime());
            if (left <= 0)
                return Fail("the line did not take the bytes in time");
            if (!m_port->waitForBytesWritten(left) && m_port->error() != QSerialPort::TimeoutError)
                return Fail();
        }
#ifdef Q_OS_UNIX
        for (;;) {
            int pending = 0;
            if (::ioctl(static_cast<int>(m_port->handle()), TIOCOUTQ, &pending) != 0 || pending <= 0)
                break;
            if (deadline.hasExpired())
                return Fail("the line did not send the bytes in time");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
#endif
        m_port->clearError();
        return true;
    }

    int Read(std::uint8_t* buffer, int max) override
    {
        if (!IsOpen() || max <= 0)
            return 0;
        // Moves whatever the driver holds into the port's buffer without waiting.
        m_port->waitForReadyRead(0);
        m_port->clearError();
        const qint64 n = m_port->read(reinterpret_cast<char*>(buffer), max);
        return n > 0 ? static_cast<int>(n) : 0;
    }

    std::string ErrorText() const override { return m_error; }

private:
    bool Fail(const char* why = nullptr)
    {
        m_error = why ? why : m_port->errorString().toStdString();
        // Nothing of a failed write may go out later or hold up the close.
        m_port->clear(QSerialPort::Output);
        m_port->clearError();
        return false;
    }

    std::unique_ptr<QSerialPort> m_port;
    std::string m_error;
};

}  // namespace

std::unique_ptr<ISerialBackend> CreateDefaultSerialBackend() { return std::make_unique<QtSerialBackend>(); }
