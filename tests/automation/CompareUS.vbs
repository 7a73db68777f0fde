' A VBScript client of VantelUS.dll, late-bound through CreateObject, run by
' cscript after regsvr32. Every check prints one line; the closing line
' "RESULT <suite> passed=N failed=M" is what scripts/test-windows.sh counts.
' Usage: cscript //nologo CompareUS.vbs SUITE ANSWERS
' ANSWERS: the vantel command's answers as UTF-16 text, a line per comparison:
' method, first string, second string, answer, tab-separated. (Wine's VBScript
' has no ChrW, so strings beyond Windows-1252 come from that file.)
Option Explicit

Dim passed, failed
passed = 0
failed = 0

Sub Check(ok, what)
    If ok Then
        passed = passed + 1
        WScript.Echo "ok   " & what
    Else
        failed = failed + 1
        WScript.Echo "FAIL " & what
    End If
End Sub

Sub CheckEqual(actual, expected, what)
    If actual = expected Then
        Check True, what
    Else
        Check False, what & ": got " & actual & ", want " & expected
    End If
End Sub

Function Shown(text)
    If Len(text) > 12 Then
        Shown = Left(text, 4) & "..(" & Len(text) & ")"
    Else
        Shown = text
    End If
End Function

' True when a character of `text` is outside Windows-1252 (AscW is missing in
' Wine's VBScript, so this asks Asc, which answers "?" (63) for those).
Function HasWideCharacters(text)
    Dim i
    HasWideCharacters = False
    For i = 1 To Len(text)
        If Asc(Mid(text, i, 1)) = 63 And Mid(text, i, 1) <> "?" Then HasWideCharacters = True
    Next
End Function

Dim o
On Error Resume Next
Set o = CreateObject("VantelUS.CompareUS")
Check Err.Number = 0, "CreateObject(""VantelUS.CompareUS"")"
On Error GoTo 0
If Not IsObject(o) Then
    WScript.Echo "RESULT " & WScript.Arguments(0) & " passed=" & passed & " failed=" & failed
    WScript.Quit 1
End If
' TypeName: Windows' VBScript names an object by its class, which it asks for
' through IProvideClassInfo (TypeName of a Scripting.Dictionary is then
' "Dictionary"); Wine's names it by what IDispatch::GetTypeInfo describes
' ("IDictionary"). Either way the name must be the one that way gives.
Dim engineAsksClass
engineAsksClass = (TypeName(CreateObject("Scripting.Dictionary")) = "Dictionary")
If engineAsksClass Then
    CheckEqual TypeName(o), "CompareUS", "TypeName is the class CompareUS"
Else
    WScript.Echo "note this engine's TypeName does not ask IProvideClassInfo; it names the dispatch interface"
    CheckEqual TypeName(o), "_CompareUS", "TypeName is the dispatch interface _CompareUS (this engine)"
End If

Dim cases
cases = Array( _
    Array("cat", "kat", 0, 100), _
    Array("cat", "kat", 1, 66.66), _
    Array("cat", "kat", 2, 83.33), _
    Array("cat", "kat", 3, 100), _
    Array("cat", "kat", 99, 66.66), _
    Array("cat", "kat", 7, 100), _
    Array("cat", "kat", -5, 100), _
    Array("Cat", "cat", 0, 100), _
    Array("Cat", "cat", 1, 66.66), _
    Array("Cat", "cat", 2, 83.33), _
    Array("Cat", "cat", 3, 66.66), _
    Array("Cat", "cat", 99, 100), _
    Array(String(43, "a") & String(17, "b"), String(43, "a") & String(22, "c"), 99, 68.79), _
    Array(String(51, "a") & String(9, "b"), String(51, "a") & String(14, "c"), 99, 81.59), _
    Array("", "cat", 0, -1), _
    Array("cat", "", 3, -1), _
    Array(String(71, "x"), "x", 2, -1), _
    Array("x", String(71, "x"), 99, -1), _
    Array(String(70, "x"), String(70, "x"), 1, 100))

Dim c, m, answer, name
For Each c In cases
    name = "Compare(""" & Shown(c(0)) & """, """ & Shown(c(1)) & """, " & c(2) & ")"
    ' A literal method number.
    Select Case c(2)
        Case 0: answer = o.Compare(c(0), c(1), 0)
        Case 1: answer = o.Compare(c(0), c(1), 1)
        Case 2: answer = o.Compare(c(0), c(1), 2)
        Case 3: answer = o.Compare(c(0), c(1), 3)
        Case 7: answer = o.Compare(c(0), c(1), 7)
        Case 99: answer = o.Compare(c(0), c(1), 99)
        Case -5: answer = o.Compare(c(0), c(1), -5)
    End Select
    CheckEqual answer, c(3), name & " with a literal"
    Check TypeName(answer) = "Double", name & " answers a Double"
    ' A variable, passed by reference as scripts pass them.
    m = c(2)
    CheckEqual o.Compare(c(0), c(1), m), c(3), name & " with a variable"
    CheckEqual m, c(2), name & ": the variable is unchanged"
    ' A variable in parentheses, passed by value.
    CheckEqual o.Compare(c(0), c(1), (m)), c(3), name & " with (variable)"
Next

' The vantel command's answers, strings beyond Windows-1252 among them, read as
' Unicode text; each must come back to the bit.
Dim fso, answers, line, fields, expected, point, lines, beyond
point = Mid(CStr(1.5), 2, 1)
Set fso = CreateObject("Scripting.FileSystemObject")
Set answers = fso.OpenTextFile(WScript.Arguments(1), 1, False, -1)
lines = 0
beyond = 0
Do Until answers.AtEndOfStream
    line = answers.ReadLine
    If Len(line) > 0 Then
        fields = Split(line, vbTab)
        lines = lines + 1
        ' CDbl reads the decimal separator of the user's locale.
        expected = CDbl(Replace(fields(3), ".", point))
        m = CInt(fields(0))
        name = "answer file line " & lines & " (method " & fields(0) & ")"
        CheckEqual o.Compare(fields(1), fields(2), m), expected, name
        If HasWideCharacters(fields(1) & fields(2)) Then beyond = beyond + 1
    End If
Loop
answers.Close
Check lines > 0, "the answer file has answers (" & lines & ")"
Check beyond > 0, "some of them compare strings beyond Windows-1252 (" & beyond & ")"

' The strings as variables too.
Dim first, second
first = "cat"
second = "kat"
m = 2
CheckEqual o.Compare(first, second, m), 83.33, "Compare with every argument a variable"
CheckEqual first & second & m, "catkat2", "none of the variables changed"

' LaMethode of other types: a Long, a numeric string, a Double.
Dim methodLong
methodLong = CLng(2)
CheckEqual o.Compare("cat", "kat", methodLong), 83.33, "LaMethode as a Long variable"
CheckEqual o.Compare("cat", "kat", "2"), 83.33, "LaMethode as a numeric string"
CheckEqual o.Compare("cat", "kat", 2.4), 83.33, "LaMethode as a Double (rounded)"

' InitVT returns Empty, every time.
Dim v
v = o.InitVT()
Check IsEmpty(v), "InitVT returns Empty"
v = 1
v = o.InitVT
Check IsEmpty(v), "InitVT returns Empty again"
CheckEqual o.Compare("Cat", "cat", 3), 66.66, "Compare after InitVT"

' A method number that a 16-bit integer cannot hold: error 6, then the object goes on.
Dim big
big = 40000
On Error Resume Next
answer = o.Compare("cat", "kat", big)
CheckEqual Err.Number, 6, "LaMethode 40000 (variable): Err.Number"
CheckEqual Err.Description, "Overflow", "LaMethode 40000 (variable): Err.Description"
CheckEqual Err.Source, "VantelUS.CompareUS", "LaMethode 40000 (variable): Err.Source"
Err.Clear
answer = o.Compare("cat", "kat", 40000)
CheckEqual Err.Number, 6, "LaMethode 40000 (literal): Err.Number"
CheckEqual Err.Description, "Overflow", "LaMethode 40000 (literal): Err.Description"
Err.Clear
answer = o.Compare("cat", "kat", "many")
CheckEqual Err.Number, 13, "LaMethode ""many"": Err.Number"
CheckEqual Err.Description, "Type mismatch", "LaMethode ""many"": Err.Description"
Err.Clear
answer = o.Compare("cat", "kat", 2)
CheckEqual Err.Number, 0, "the next call on the same object succeeds"
On Error GoTo 0
CheckEqual answer, 83.33, "the next call on the same object answers"

' Each object is its own.
Dim other
Set other = CreateObject("VantelUS.CompareUS")
Check Not (other Is o), "a second CreateObject makes a second object"
CheckEqual other.Compare("cat", "kat", 1), 66.66, "the second object answers"
Set other = Nothing
CheckEqual o.Compare("cat", "kat", 0), 100, "the first object answers after the second is gone"

WScript.Echo "RESULT " & WScript.Arguments(0) & " passed=" & passed & " failed=" & failed
If failed > 0 Then WScript.Quit 1
