<%@ LANGUAGE="VBScript" %><%
' The signed-in owner's guestbook: replies to the visitors' messages, and their removal.
' Changes are forms posted here with the owner's token (field token) and a field act.
Set office = Server.CreateObject("backoffice.office")
office.Guard
office.GuestbookPage
%>