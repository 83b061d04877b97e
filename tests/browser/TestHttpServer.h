#pragma once
// A small HTTP server on 127.0.0.1 for the browser tests: each path has a fixed reply (status,
// body bytes, delay before answering, or a connection dropped without any reply). Every
// request is counted.
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <map>
#include <string>

class TestHttpServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    int delayMs = 0;
    bool dropWithoutReply = false;
    bool lengthUnsaid = false;  // no Content-Length: the body ends where the connection does
    std::string location;       // a Location header, for relocations

    static Reply Page(int status, std::string body, int delayMs = 0) {
      Reply reply;
      reply.status = status;
      reply.body = std::move(body);
      reply.delayMs = delayMs;
      return reply;
    }
    static Reply Unsized(int status, std::string body) {
      Reply reply = Page(status, std::move(body));
      reply.lengthUnsaid = true;
      return reply;
    }
    static Reply Moved(std::string location) {
      Reply reply = Page(302, "");
      reply.location = std::move(location);
      return reply;
    }
    static Reply Dropped() {
      Reply reply;
      reply.dropWithoutReply = true;
      return reply;
    }
  };

  TestHttpServer() {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] { Accept(); });
  }

  void Serve(const std::string& path, Reply reply) { replies_[path] = std::move(reply); }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + path;
  }
  int Requests() const { return requests_; }

 private:
  void Accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
  }

  void Read(QTcpSocket* socket) {
    QByteArray& pending = buffers_[socket];
    pending += socket->readAll();
    int end = pending.indexOf("\r\n\r\n");
    if (end < 0) return;
    QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
    buffers_.erase(socket);
    ++requests_;
    std::string path = requestLine.size() > 1 ? requestLine[1].toStdString() : "";
    auto found = replies_.find(path);
    Reply reply =
        found != replies_.end() ? found->second : Reply::Page(404, "<html>no such page</html>");
    QTimer::singleShot(reply.delayMs, socket, [socket, reply] { Answer(socket, reply); });
  }

  static void Answer(QTcpSocket* socket, const Reply& reply) {
    if (!reply.dropWithoutReply) {
      std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Status\r\n" +
                         "Content-Type: text/html\r\nConnection: close\r\n";
      if (!reply.lengthUnsaid)
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
      if (!reply.location.empty()) head += "Location: " + reply.location + "\r\n";
      head += "\r\n";
      socket->write(QByteArray::fromStdString(head + reply.body));
    }
    socket->disconnectFromHost();
  }

  QTcpServer server_;
  std::map<std::string, Reply> replies_;
  std::map<QTcpSocket*, QByteArray> buffers_;
  int requests_ = 0;
};
