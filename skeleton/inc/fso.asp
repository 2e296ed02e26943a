<%
Const_ScriptFileSystem="Scripting.FileSystemObject"
%>
