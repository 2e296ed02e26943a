// The exact document frame of each markup and the home link, as every page of the component
// writes them; for tests that compare whole pages byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace wap::page_test {

// The whole WML page: header with `title` in the card, banner of `username` under `domain`, then
// `body`, then the closing lines.
inline std::string WmlPage(std::string_view title, std::string_view username, std::string_view body,
                           std::string_view domain = "") {
  std::string p;
  p += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
  p += "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
       "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\r\n";
  p += "<wml>\r\n<head>\r\n";
  p += "<meta http-equiv=\"Cache-Control\" content=\"max-age=0\" forua=\"true\"/>\r\n";
  p += "<meta http-equiv=\"content-type\" content=\"text/vnd.wap.wml;charset=UTF-8\"/>\r\n";
  p += "</head>\r\n";
  p += "<card id=\"card1\" title=\"" + std::string(title) + "\">\r\n";
  p += "<p><img src=\"" + std::string(domain) + "/waphome/" + std::string(username) +
       "/Demo.jpg\" alt=\"Demo\"/></p>";
  p += body;
  p += "  </card>\r\n</wml>\r\n";
  return p;
}

// The whole XHTML page, as WmlPage.
inline std::string XhtmlPage(std::string_view title, std::string_view username,
                             std::string_view body, std::string_view domain = "") {
  std::string p;
  p += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
  p += "<!DOCTYPE html PUBLIC \"-//WAPFORUM//DTD XHTML Mobile 1.0//EN\" "
       "\"http://www.wapforum.org/DTD/xhtml-mobile10.dtd\">\r\n";
  p += "\r\n";
  p += "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n";
  p += "  <head>\r\n";
  p += "    <title>" + std::string(title) + "</title>\r\n";
  p += "    <link href=\"/waphome/" + std::string(username) +
       "/style.css\" rel=\"stylesheet\" type=\"text/css\"/>\r\n";
  p += "    <meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"/>\r\n";
  p += "  </head>\r\n";
  p += "\r\n";
  p += "  <body>\r\n";
  p += "     <img src=\"" + std::string(domain) + "/waphome/" + std::string(username) +
       "/Demo.jpg\" alt=\"Demo\"/><br/>";
  p += body;
  p += "  </body>\r\n</html>\r\n";
  return p;
}

// The home link every content page ends with, for the link suffix `suffix`.
inline std::string HomeLink(std::string_view suffix) {
  return "<p><a href=\"/wap/index.asp?" + std::string(suffix) + "&amp;\">首页</a></p>\r\n";
}

}  // namespace wap::page_test
