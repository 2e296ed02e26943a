<%@ LANGUAGE="VBScript" %><%
' The signed-in owner's products: name, description and picture (multipart/form-data forms).
' Changes are forms posted here with the owner's token (field token) and a field act.
Set office = Server.CreateObject("backoffice.office")
office.Guard
office.ProductsPage
%>