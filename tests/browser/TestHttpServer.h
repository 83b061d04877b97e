#pragma once
// A small HTTP server on 127.0.0.1 for the browser tests: each path has a fixed reply (status,
// body bytes, delay before answering, a body sent in pieces, a connection dropped without any
// reply or held open without one), or replies in turn, one for each request. Every request is
// counted.
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

class TestHttpServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    int delayMs = 0;
    bool dropWithoutReply = false;
    bool silent = false;        // the request is taken and never answered
    int pieces = 1;             // the body sent in this many pieces after the header
    int pieceEveryMs = 0;       // apart by this long
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
    static Reply Dropped(int delayMs = 0) {
      Reply reply;
      reply.dropWithoutReply = true;
      reply.delayMs = delayMs;
      return reply;
    }
    static Reply Silent() {
      Reply reply;
      reply.silent = true;
      return reply;
    }
    static Reply Trickled(std::string body, int pieces, int everyMs) {
      Reply reply = Page(200, std::move(body));
      reply.pieces = pieces;
      reply.pieceEveryMs = everyMs;
      return reply;
    }
  };

  TestHttpServer() {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] { Accept(); });
  }

  void Serve(const std::string& path, Reply reply) { ServeInTurn(path, {std::move(reply)}); }
  // The nth request of the path gets the nth reply, every request after them the last.
  void ServeInTurn(const std::string& path, std::vector<Reply> replies) {
    replies_[path] = std::move(replies);
    served_[path] = 0;
  }
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
    Reply reply = Reply::Page(404, "<html>no such page</html>");
    if (found != replies_.end()) {
      const std::size_t turn = served_[path]++;
      reply = found->second[std::min(turn, found->second.size() - 1)];
    }
    if (reply.silent) return;
    QTimer::singleShot(reply.delayMs, socket, [socket, reply] { Answer(socket, reply); });
  }

  static void Answer(QTcpSocket* socket, const Reply& reply) {
    if (reply.dropWithoutReply) {
      socket->disconnectFromHost();
      return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Status\r\n" +
                       "Content-Type: text/html\r\nConnection: close\r\n";
    if (!reply.lengthUnsaid)
      head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    if (!reply.location.empty()) head += "Location: " + reply.location + "\r\n";
    head += "\r\n";
    socket->write(QByteArray::fromStdString(head));
    SendPiece(socket, reply, 0);
  }

  // Piece number piece of the body, then the next one a while later; the last ends the reply.
  static void SendPiece(QTcpSocket* socket, const Reply& reply, int piece) {
    const std::size_t size = reply.body.size();
    const std::size_t from = size * piece / reply.pieces;
    const std::size_t to = size * (piece + 1) / reply.pieces;
    socket->write(QByteArray::fromStdString(reply.body.substr(from, to - from)));
    if (piece + 1 == reply.pieces) {
      socket->disconnectFromHost();
      return;
    }
    socket->flush();
    QTimer::singleShot(reply.pieceEveryMs, socket,
                       [socket, reply, piece] { SendPiece(socket, reply, piece + 1); });
  }

  QTcpServer server_;
  std::map<std::string, std::vector<Reply>> replies_;
  std::map<std::string, std::size_t> served_;
  std::map<QTcpSocket*, QByteArray> buffers_;
  int requests_ = 0;
};
