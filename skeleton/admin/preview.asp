<%@ LANGUAGE="VBScript" %><%
' A live page of the signed-in owner's site as a handset gets it (query markup=wml|xhtml, of = the page, and the page's id, classname, Page).
Set office = Server.CreateObject("backoffice.office")
office.Guard
office.PreviewPage
%>