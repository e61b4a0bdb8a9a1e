<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>CAboutBox</name>
    <message>
        <source>Parlatrix 1.0 版</source>
        <translation>Parlatrix version 1.0</translation>
    </message>
    <message>
        <source>Parlatrix 개발자</source>
        <translation>The Parlatrix developers</translation>
    </message>
    <message>
        <source>게임 대사 편집기 · Linux</source>
        <translation>Game dialogue editor · Linux</translation>
    </message>
    <message>
        <source>V0011  2001年7月4日</source>
        <translation>V0011  4 July 2001</translation>
    </message>
    <message>
        <source>V0012  2001年10月26日</source>
        <translation>V0012  26 October 2001</translation>
    </message>
    <message>
        <source>关于 对话编辑器</source>
        <translation>About the Dialogue Editor</translation>
    </message>
    <message>
        <source>대화 파일 열기</source>
        <translation>Open Dialogue File</translation>
    </message>
</context>
<context>
    <name>CCodePageDlg</name>
    <message>
        <source>코드 페이지 (CP949, GBK, UTF-8...) :</source>
        <translation>Code page (CP949, GBK, UTF-8...):</translation>
    </message>
    <message>
        <source>코드 페이지</source>
        <translation>Code Page</translation>
    </message>
    <message>
        <source>未知的代码页(%1)！</source>
        <translation>Unknown code page (%1)!</translation>
    </message>
</context>
<context>
    <name>CDataExchange</name>
    <message>
        <source>请键入一个整数。</source>
        <translation>Please enter a whole number.</translation>
    </message>
    <message>
        <source>“请填入不多于%1个的字符。”</source>
        <translation>Please enter no more than %1 bytes.</translation>
    </message>
    <message>
        <source>以下文字无法以文件的代码页(%2)保存：%1</source>
        <translation>These characters cannot be saved in the file&apos;s code page (%2): %1</translation>
    </message>
</context>
<context>
    <name>CFindDlg</name>
    <message>
        <source>찾을 내용 :</source>
        <translation>Find what:</translation>
    </message>
    <message>
        <source>찾기</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>대화</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>화자</source>
        <translation>Speaker</translation>
    </message>
    <message>
        <source>소리</source>
        <translation>Sound</translation>
    </message>
    <message>
        <source>닫기</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>%1개 찾음</source>
        <translation>%1 found</translation>
    </message>
    <message>
        <source>장면</source>
        <translation>Plot</translation>
    </message>
    <message>
        <source>바꿀 내용 :</source>
        <translation>Replace with:</translation>
    </message>
    <message>
        <source>바꾸기</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>모두 바꾸기</source>
        <translation>Replace All</translation>
    </message>
    <message>
        <source>%1개 바꿈 (%2줄)</source>
        <translation>%1 replaced (%2 lines)</translation>
    </message>
    <message>
        <source>ID %1의 %2: 바꾼 결과가 저장할 수 있는 길이(%3바이트)를 넘습니다. 아무것도 바꾸지 않았습니다.</source>
        <translation>ID %1, %2: the result of the replace would be longer than can be stored (%3 bytes). Nothing was replaced.</translation>
    </message>
</context>
<context>
    <name>CLanguageDlg</name>
    <message>
        <source>표시 언어 :</source>
        <translation>Show the windows in:</translation>
    </message>
    <message>
        <source>확인</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>언어 · Language</source>
        <translation>Language</translation>
    </message>
</context>
<context>
    <name>CLineEditDlg</name>
    <message>
        <source>不能同时修改多段对话！</source>
        <translation>Select exactly one line to modify.</translation>
    </message>
    <message>
        <source>在指定范围内已经没有剩余的ID！</source>
        <translation>No free ID is left in the given range.</translation>
    </message>
    <message>
        <source>内容被修改了，退出吗？</source>
        <translation>The content has been changed. Close anyway?</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>추가</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>수정</source>
        <translation>Modify</translation>
    </message>
    <message>
        <source>삭제</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>확인</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>대화 편집</source>
        <translation>Edit Dialogue</translation>
    </message>
    <message>
        <source>该段情节没有找到(%1)！</source>
        <translation>The plot (%1) was not found.</translation>
    </message>
    <message>
        <source>화자</source>
        <translation>Speaker</translation>
    </message>
    <message>
        <source>표정</source>
        <translation>Expression</translation>
    </message>
    <message>
        <source>소리</source>
        <translation>Sound</translation>
    </message>
    <message>
        <source>대화</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>%1자</source>
        <translation>%1 chars</translation>
    </message>
    <message>
        <source>情节名字重复(%1)！添加情节失败！</source>
        <translation>A plot named (%1) already exists. The plot was not added.</translation>
    </message>
    <message>
        <source>필터: ID, 화자, 표정, 소리, 대화에서 찾기</source>
        <translation>Filter: find in ID, speaker, expression, sound, text</translation>
    </message>
    <message>
        <source>실행 취소(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>다시 실행(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
</context>
<context>
    <name>CLookupDlg</name>
    <message>
        <source>조회</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>닫기</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>没有找到该ID所代表的文字，查找失败！</source>
        <translation>No text was found for this ID.</translation>
    </message>
</context>
<context>
    <name>CMainDlg</name>
    <message>
        <source>情节</source>
        <translation>Plots</translation>
    </message>
    <message>
        <source>추가</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>편집</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>삭제</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>멀티라인 편집</source>
        <translation>Multi-line</translation>
    </message>
    <message>
        <source>새 파일</source>
        <translation>New File</translation>
    </message>
    <message>
        <source>파일 불러오기</source>
        <translation>Open...</translation>
    </message>
    <message>
        <source>새 이름으로...</source>
        <translation>Save As...</translation>
    </message>
    <message>
        <source>파일 저장하기</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>내보내기</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>가져오기</source>
        <translation>Import...</translation>
    </message>
    <message>
        <source>종료</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>버전 :</source>
        <translation>Ver.:</translation>
    </message>
    <message>
        <source>대사 편집기</source>
        <translation>Dialogue Editor</translation>
    </message>
    <message>
        <source>Parlatrix 정보(&amp;A)...</source>
        <translation>&amp;About Parlatrix...</translation>
    </message>
    <message>
        <source>찾기(&amp;F)...</source>
        <translation>&amp;Find...</translation>
    </message>
    <message>
        <source>언어 · Language(&amp;L)...</source>
        <translation>&amp;Language...</translation>
    </message>
    <message>
        <source>(%1) 대화 파일 읽기 오류!</source>
        <translation>Cannot read the dialogue file (%1).</translation>
    </message>
    <message>
        <source>内容被修改了，退出吗？</source>
        <translation>The content has been changed. Quit anyway?</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>새 게임</source>
        <translation>New Game</translation>
    </message>
    <message>
        <source>대화 파일 열기</source>
        <translation>Open Dialogue File</translation>
    </message>
    <message>
        <source>대화 파일 저장</source>
        <translation>Save Dialogue File</translation>
    </message>
    <message>
        <source>텍스트 파일 열기</source>
        <translation>Open Text File</translation>
    </message>
    <message>
        <source>텍스트 파일 저장</source>
        <translation>Save Text File</translation>
    </message>
    <message>
        <source>(%1) 대화 파일 저장 오류!</source>
        <translation>Cannot save the dialogue file (%1).</translation>
    </message>
    <message>
        <source>文件(%1)已损坏，以下内容无法读取：
%2
保存时只写入已读取的内容；第一次保存前，原文件将保留为 %3。</source>
        <translation>The file (%1) is damaged; this could not be read:
%2
Saving writes only what was read; the original is kept as %3 before the first save.</translation>
    </message>
    <message>
        <source>文件(%1)在读取后已被其他程序修改，是否覆盖？</source>
        <translation>Another program has changed the file (%1) since it was read. Overwrite it?</translation>
    </message>
    <message>
        <source>上次保存文件(%1)时被中断，保存前的原内容保留在 %2，请检查后自行删除。</source>
        <translation>The last save of the file (%1) was interrupted. Its earlier content is kept in %2; check it, then delete it yourself.</translation>
    </message>
    <message>
        <source>数据不能导入到空文件中！</source>
        <translation>Texts cannot be imported into an empty document.</translation>
    </message>
    <message>
        <source>文件导入成功！</source>
        <translation>The file was imported.</translation>
    </message>
    <message>
        <source>导入文本文件错误(%1)!</source>
        <translation>Cannot import the text file (%1).</translation>
    </message>
    <message>
        <source>是否用于翻译？如果选择是，则导出多行文本，否则导出单行文本，用于录音。</source>
        <translation>Is this export for translation?
Yes exports multi-line texts for translators; No exports single-line texts for voice recording.</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>文件导出成功！</source>
        <translation>The file was exported.</translation>
    </message>
    <message>
        <source>导出文本文件错误(%1)!</source>
        <translation>Cannot export the text file (%1).</translation>
    </message>
    <message>
        <source>情节名字重复(%1)！添加情节失败！</source>
        <translation>A plot named (%1) already exists. The plot was not added.</translation>
    </message>
    <message>
        <source>통계(&amp;S)...</source>
        <translation>&amp;Statistics...</translation>
    </message>
    <message>
        <source>코드 페이지로 열기(&amp;E)...</source>
        <translation>Open in Code Page(&amp;E)...</translation>
    </message>
    <message>
        <source>文件(%1)中的文字不是代码页%2的有效文字，可能是%3编码。请用“코드 페이지로 열기”选择%3重新打开。</source>
        <translation>The texts of the file (%1) are not valid in the code page %2; they are likely %3. Use “Open in Code Page” and choose %3 to open it again.</translation>
    </message>
    <message>
        <source>文件(%1)中的文字不是代码页%2的有效文字。</source>
        <translation>The texts of the file (%1) are not valid in the code page %2.</translation>
    </message>
    <message>
        <source>필터: 장면 이름에서 찾기</source>
        <translation>Filter: find in plot names</translation>
    </message>
    <message>
        <source>确定要删除情节(%1)及其全部%2行对话吗？</source>
        <translation>Delete the plot (%1) with all its %2 lines?</translation>
    </message>
    <message>
        <source>실행 취소(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>다시 실행(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
</context>
<context>
    <name>CNameInputDlg</name>
    <message>
        <source>이름 입력 :</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>이름 입력</source>
        <translation>Enter Name</translation>
    </message>
</context>
<context>
    <name>CNewFileDlg</name>
    <message>
        <source>게임 이름 :</source>
        <translation>Game:</translation>
    </message>
    <message>
        <source>두상</source>
        <translation>Who</translation>
    </message>
    <message>
        <source>표정</source>
        <translation>Face</translation>
    </message>
    <message>
        <source>소리 파일</source>
        <translation>Sound file</translation>
    </message>
    <message>
        <source>확인</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>새 파일 형식</source>
        <translation>New File Format</translation>
    </message>
</context>
<context>
    <name>CStatsDlg</name>
    <message>
        <source>장면별</source>
        <translation>By plot</translation>
    </message>
    <message>
        <source>화자별</source>
        <translation>By speaker</translation>
    </message>
    <message>
        <source>복사</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>닫기</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>통계</source>
        <translation>Statistics</translation>
    </message>
    <message>
        <source>대사 수</source>
        <translation>Lines</translation>
    </message>
    <message>
        <source>단어</source>
        <translation>Words</translation>
    </message>
    <message>
        <source>글자</source>
        <translation>Characters</translation>
    </message>
    <message>
        <source>공백 포함</source>
        <translation>With spaces</translation>
    </message>
    <message>
        <source>빈 대사</source>
        <translation>Empty</translation>
    </message>
    <message>
        <source>소리 없음</source>
        <translation>No sound</translation>
    </message>
    <message>
        <source>분</source>
        <translation>min</translation>
    </message>
    <message>
        <source>장면</source>
        <translation>Plot</translation>
    </message>
    <message>
        <source>화자</source>
        <translation>Speaker</translation>
    </message>
    <message>
        <source>합계</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>화자별 단어 수</source>
        <translation>Words per speaker</translation>
    </message>
</context>
</TS>
