#include "QtSocketPair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <vector>

double qtSocketPairSeconds(std::size_t totalBytes) {
  constexpr qint64 kChunk = 1 << 20;
  QTcpServer server;
  server.listen(QHostAddress::LocalHost, 0);
  QTcpSocket sender;
  QTcpSocket* receiver = nullptr;
  std::vector<char> in(65536);
  const QByteArray chunk(kChunk, 'q');
  std::size_t queued = 0, received = 0;

  auto feed = [&] {
    while (queued < totalBytes && sender.bytesToWrite() < kChunk) {
      const qint64 n = std::min<qint64>(kChunk, static_cast<qint64>(totalBytes - queued));
      sender.write(chunk.constData(), n);
      queued += static_cast<std::size_t>(n);
    }
  };
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    receiver = server.nextPendingConnection();
    QObject::connect(receiver, &QTcpSocket::readyRead, [&] {
      while (receiver->bytesAvailable() > 0) {
        const qint64 n = receiver->read(in.data(), static_cast<qint64>(in.size()));
        if (n <= 0) break;
        received += static_cast<std::size_t>(n);
      }
    });
  });
  QObject::connect(&sender, &QTcpSocket::connected, feed);
  QObject::connect(&sender, &QTcpSocket::bytesWritten, feed);

  QElapsedTimer timer;
  timer.start();
  sender.connectToHost(QHostAddress::LocalHost, server.serverPort());
  while (received < totalBytes) QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  delete receiver;
  return seconds;
}
