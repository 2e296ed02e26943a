// ScriptingContext: the objects of one request, handed to a host object's OnStartPage. Every
// reference stays valid until the object's OnEndPage has returned.
#pragma once

namespace data {
class ConnectionPool;
}

namespace host {

class Application;
struct RateLimiters;
class Request;
class Response;
class Server;
class Session;

struct ScriptingContext {
  Application& application;
  Request& request;
  Response& response;
  Session& session;
  Server& server;
  // Where new data-access connections of this request borrow their native connections.
  data::ConnectionPool& connections;
  // The server's limiters (failed logins, …), shared by every request; nullptr where the host
  // keeps none (a test's in-memory host): then nothing is limited.
  RateLimiters* limiters = nullptr;
};

}  // namespace host
