<%@ LANGUAGE="VBScript" %><%
' The texts of one class of the signed-in owner (query cid): the single text of a single-content class, or the articles of a news class.
' Changes are forms posted here with the owner's token (field token) and a field act.
Set office = Server.CreateObject("backoffice.office")
office.Guard
office.ContentsPage
%>