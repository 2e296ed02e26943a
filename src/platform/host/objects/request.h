// Request: what one HTTP request offers a page: the query string, the form, the cookies, the
// server variables and, for a multipart/form-data form, its uploaded files. Built by the host (or a
// test) before the page runs and read-only afterwards. While a page's reads are recorded
// (page_reads.h), every lookup a page makes through it is recorded, absent values included.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/host/objects/collection.h"
#include "platform/host/objects/uploaded_files.h"

namespace host {

class Request {
 public:
  using ServerVariables = std::vector<std::pair<std::string, std::string>>;

  Request() = default;
  Request(Collection query_string, Collection form, Collection cookies,
          ServerVariables server_variables, UploadedFiles files = {});

  // Item lookup: the value of `name` (any letter case) searched in the query string, then the
  // form, then the cookies, then the server variables. std::nullopt when no collection has it; a
  // present empty value is "".
  std::optional<std::string> Item(std::string_view name) const;

  const Collection& QueryString() const { return query_string_; }
  const Collection& Form() const { return form_; }
  const Collection& Cookies() const { return cookies_; }
  // The files of a multipart/form-data form (its other fields are in Form()); empty otherwise.
  const UploadedFiles& Files() const { return files_; }

  // A server variable by name (any letter case): "HTTP_ACCEPT" and the other HTTP_* headers,
  // "REQUEST_METHOD", "SCRIPT_NAME", "QUERY_STRING", "REMOTE_ADDR", "SERVER_NAME", "SERVER_PORT",
  // "CONTENT_TYPE", "CONTENT_LENGTH". Empty text when absent.
  std::string ServerVariable(std::string_view name) const;
  // The same, std::nullopt when absent; not recorded as a page's read (page_reads.h).
  std::optional<std::string> FindServerVariable(std::string_view name) const;

 private:
  Collection query_string_;
  Collection form_;
  Collection cookies_;
  ServerVariables server_variables_;
  UploadedFiles files_;
};

}  // namespace host
