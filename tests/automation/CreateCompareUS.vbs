' Creates VantelUS.CompareUS by its programmatic identifier, as a script
' would, and prints one answer (83.33), or "error N" when CreateObject fails
' (429: no server of this script host's bitness is registered). Run by the
' 32-bit and the 64-bit cscript after registering one of the DLLs alone.
Option Explicit
Dim comparer
On Error Resume Next
Set comparer = CreateObject("VantelUS.CompareUS")
If Err.Number <> 0 Then
    WScript.Echo "error " & Err.Number
    WScript.Quit 1
End If
On Error GoTo 0
WScript.Echo comparer.Compare("cat", "kat", 2)
