<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ClsIni</name>
    <message>
        <source>設定ファイルの名前が決まっていません。</source>
        <translation>No name is set for the settings file.</translation>
    </message>
    <message>
        <source>設定ファイルの場所にあるのは通常のファイルではありません。</source>
        <translation>The settings file is not a regular file.</translation>
    </message>
    <message>
        <source>設定ファイルは読み取り専用です。</source>
        <translation>The settings file is read-only.</translation>
    </message>
    <message>
        <source>設定ファイルが大きすぎます（16 MiB を超えています）。</source>
        <translation>The settings file is too large (over 16 MiB).</translation>
    </message>
    <message>
        <source>改行を含む値は保存できません。</source>
        <translation>A value contains a line break, which cannot be saved.</translation>
    </message>
    <message>
        <source>NUL など保存できない文字を含む値は保存できません。</source>
        <translation>A value contains a character that cannot be saved, such as NUL.</translation>
    </message>
    <message>
        <source>設定ファイルの文字コードで表せない文字を含む値は保存できません。</source>
        <translation>A value contains a character that the settings file&apos;s encoding cannot represent.</translation>
    </message>
    <message>
        <source>（元の内容に戻しました。）</source>
        <translation> (The old content was put back.)</translation>
    </message>
    <message>
        <source>（元の内容に戻せませんでした: %1）</source>
        <translation> (The old content could not be put back: %1)</translation>
    </message>
    <message>
        <source>保存しましたが、隠し属性・システム属性を戻せませんでした: %1</source>
        <translation>The settings were saved, but the hidden and system attributes could not be set again: %1</translation>
    </message>
</context>
<context>
    <name>MakeList</name>
    <message>
        <source>結果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>作成場所</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>ファイル名</source>
        <translation>Dummy name</translation>
    </message>
    <message>
        <source>サイズ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>拡張子</source>
        <translation>Ext.</translation>
    </message>
    <message>
        <source>更新日</source>
        <translation>Modified</translation>
    </message>
    <message>
        <source>元のファイルが見つかりません。</source>
        <translation>The source file cannot be found.</translation>
    </message>
    <message>
        <source>元のファイルにアクセスできません。</source>
        <translation>The source file cannot be accessed.</translation>
    </message>
    <message>
        <source>元のファイルが通常のファイルではありません。</source>
        <translation>The source is not a regular file.</translation>
    </message>
    <message>
        <source>元のファイルが隠しファイルです。</source>
        <translation>The source file is hidden.</translation>
    </message>
    <message>
        <source>作成場所のフォルダがありません。</source>
        <translation>The folder for the dummy does not exist.</translation>
    </message>
    <message>
        <source>作成場所のフォルダにアクセスできません。</source>
        <translation>The folder for the dummy cannot be accessed.</translation>
    </message>
    <message>
        <source>作成場所がフォルダではありません。</source>
        <translation>The location for the dummy is not a folder.</translation>
    </message>
    <message>
        <source>同じ名前のファイルが既にあります。</source>
        <translation>A file with the same name already exists.</translation>
    </message>
    <message>
        <source>元のファイルが一覧に追加した後に変更されています。行を削除して、ファイルをもう一度ドロップして下さい。</source>
        <translation>The source has changed since it was added to the list. Remove the row and drop the file again.</translation>
    </message>
    <message>
        <source>作成済みです。</source>
        <translation>This dummy has already been created.</translation>
    </message>
    <message>
        <source>%1
ダミーにはサイズの下位 32 ビットだけが記録されます。「ファイル名にサイズを付ける」にすると、サイズ全体がファイル名に残ります。</source>
        <translation>%1
The dummy records only the low 32 bits of this size. With &quot;Add the size to the name&quot; the whole size is kept in the name.</translation>
    </message>
</context>
<context>
    <name>PathCodec</name>
    <message>
        <source>パスにファイル名に使えない文字（NUL など）が含まれています。</source>
        <translation>The path contains a character not allowed in file names (such as NUL).</translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>ポロンボ</source>
        <translation>Poronbo</translation>
    </message>
    <message>
        <source>同じ場所に作成</source>
        <translation>Same folder</translation>
    </message>
    <message>
        <source>参照</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>頭文字</source>
        <translation>Prefix</translation>
    </message>
    <message>
        <source>ファイル名にサイズを付ける</source>
        <translation>Add the size to the name</translation>
    </message>
    <message>
        <source>リストクリア</source>
        <translation>Clear list</translation>
    </message>
    <message>
        <source>作成</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>ファイルを追加...</source>
        <translation>Add files...</translation>
    </message>
    <message>
        <source>貼り付け</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>選択した行を削除</source>
        <translation>Remove selected rows</translation>
    </message>
    <message>
        <source>ファイルをドロップして下さい。</source>
        <translation>Drop files here.</translation>
    </message>
    <message>
        <source>作成場所を指定する</source>
        <translation>Create in this folder</translation>
    </message>
    <message>
        <source>作成場所</source>
        <translation>Folder for dummies</translation>
    </message>
    <message>
        <source>作成場所のフォルダを選びます。</source>
        <translation>Chooses the folder for the dummies.</translation>
    </message>
    <message>
        <source>一覧の行をすべて削除します。</source>
        <translation>Removes every row from the list.</translation>
    </message>
    <message>
        <source>一覧の各行のダミーファイルを作成し、設定を保存します。</source>
        <translation>Creates a dummy for each row of the list and saves the settings.</translation>
    </message>
    <message>
        <source>作成するダミーファイルの一覧</source>
        <translation>Dummies to create</translation>
    </message>
    <message>
        <source>ファイルのドロップ先</source>
        <translation>Drop area for files</translation>
    </message>
    <message>
        <source>ファイルをドロップするか、Ctrl+O で選ぶか、Ctrl+V で貼り付けて追加します。</source>
        <translation>Add files by dropping them here, choosing them with Ctrl+O or pasting them with Ctrl+V.</translation>
    </message>
    <message>
        <source>ファイルを追加しています</source>
        <translation>Adding files</translation>
    </message>
    <message>
        <source>作成場所を指定して下さい。</source>
        <translation>Enter the folder to create the dummies in.</translation>
    </message>
    <message>
        <source>作成場所はフルパスで指定して下さい。</source>
        <translation>Enter the folder for the dummies as a full path.</translation>
    </message>
    <message>
        <source>頭文字は255文字以内で指定して下さい。</source>
        <translation>The prefix can be at most 255 characters long.</translation>
    </message>
    <message>
        <source>頭文字にファイル名に使えない文字が含まれています。</source>
        <translation>The prefix contains a character not allowed in file names.</translation>
    </message>
    <message>
        <source>ほか %1 件</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>同じ名前のダミーになるファイルがあるため、次のファイルは追加しませんでした。

</source>
        <translation>These files were not added: other files make dummies with the same names.

</translation>
    </message>
    <message>
        <source>ダミーファイルを作成するフォルダを選択し、[OK] を押してください</source>
        <translation>Choose the folder to create the dummies in, then press OK</translation>
    </message>
    <message>
        <source>ダミーファイルを作成しています</source>
        <translation>Creating dummies</translation>
    </message>
    <message>
        <source>設定を保存できませんでした。

%1
%2</source>
        <translation>The settings could not be saved.

%1
%2</translation>
    </message>
    <message>
        <source>処理を中断しました。

%1
%2</source>
        <translation>Stopped because of an error.

%1
%2</translation>
    </message>
    <message>
        <source>処理を中断しました。

%1</source>
        <translation>Stopped because of an error.

%1</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>作成 %1 件 ／ 作成済み %2 件 ／ 作成できず %3 件</source>
        <translation>%1 created / %2 already created / %3 not created</translation>
    </message>
    <message>
        <source>（中止: 残り %1 件）</source>
        <translation> (cancelled: %1 left)</translation>
    </message>
    <message>
        <source>（中断: 残り %1 件）</source>
        <translation> (stopped by an error: %1 left)</translation>
    </message>
    <message>
        <source>追加 %1 件 ／ 一覧 %2 件</source>
        <translation>%1 added / %2 in the list</translation>
    </message>
    <message>
        <source>一覧 %1 件</source>
        <translation>%1 in the list</translation>
    </message>
    <message>
        <source>結果の件数</source>
        <translation>Result counts</translation>
    </message>
    <message>
        <source>設定ファイルを読めません。既定の設定で始めます。このファイルには保存しません。

%1
%2</source>
        <translation>The settings file cannot be read. Poronbo starts with the default settings and will not save over this file.

%1
%2</translation>
    </message>
</context>
</TS>
