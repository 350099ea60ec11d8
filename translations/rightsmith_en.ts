<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>About::TAboutBox</name>
    <message>
        <location filename="../demo/about.cpp" line="25"/>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="42"/>
        <source>Rightsmith Demonstration Program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="45"/>
        <source>Version 2.0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="48"/>
        <source>Copyright © The Rightsmith authors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="51"/>
        <source>Comments</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="56"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Childwin::TMDIChild</name>
    <message>
        <location filename="../demo/childwin.cpp" line="26"/>
        <source>MDI Child</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/childwin.cpp" line="42"/>
        <source>Child memo text</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Main::TMainForm</name>
    <message>
        <location filename="../demo/mainform.cpp" line="70"/>
        <source>Rightsmith Demo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="139"/>
        <source>Non Action Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="151"/>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="220"/>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="220"/>
        <source>File related commands</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="225"/>
        <source>&amp;Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="225"/>
        <source>Edit commands</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="228"/>
        <source>&amp;Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="228"/>
        <source>Window related commands</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="234"/>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="234"/>
        <source>Help topics</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="280"/>
        <source>Manually check ID= 30 (zkSecurity1.CheckId(30)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="408"/>
        <source>ID 30 Enabled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="410"/>
        <source>ID 30 Disabled</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>demo</name>
    <message>
        <location filename="../demo/demoactions.cpp" line="34"/>
        <source>&amp;New</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="35"/>
        <source>New|Create a new file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="36"/>
        <source>&amp;Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="37"/>
        <source>Open|Open a file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="38"/>
        <source>&amp;Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="39"/>
        <source>Close|Close current file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="40"/>
        <source>&amp;Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="41"/>
        <source>Save|Save current file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="42"/>
        <source>Save &amp;As...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="43"/>
        <source>Save As|Save current file with different name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="44"/>
        <source>E&amp;xit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="45"/>
        <source>Exit|Exit application</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="46"/>
        <source>Cu&amp;t</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="47"/>
        <source>Cut|Cuts the selection and puts it on the Clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="49"/>
        <source>&amp;Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="50"/>
        <source>Copy|Copies the selection and puts it on the Clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="52"/>
        <source>&amp;Paste</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="53"/>
        <source>Paste|Inserts Clipboard contents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="54"/>
        <source>&amp;Cascade</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="55"/>
        <source>Cascade</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="56"/>
        <source>Tile &amp;Horizontally</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="57"/>
        <source>Tile Horizontally</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="58"/>
        <source>Tile &amp;Vertically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="59"/>
        <source>Tile Vertically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="60"/>
        <source>&amp;Minimize All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="61"/>
        <source>Minimize All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="62"/>
        <source>&amp;Arrange All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="63"/>
        <source>Arrange All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="64"/>
        <source>&amp;About...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="65"/>
        <source>About|Displays program information, version number, and copyright</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="67"/>
        <source>Check Rights</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="69"/>
        <source>Change User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="71"/>
        <source>Non Action Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="76"/>
        <source>Child memo text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="77"/>
        <source>Close child</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::Application</name>
    <message>
        <location filename="../toolkit/errorhandler.cpp" line="40"/>
        <source>Unknown exception</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::BitmapFile</name>
    <message>
        <location filename="../toolkit/bitmapfile.cpp" line="27"/>
        <source>Bitmap image is not valid</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/bitmapfile.cpp" line="155"/>
        <source>Stream write error</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::ByteStream</name>
    <message>
        <location filename="../toolkit/bytestream.cpp" line="18"/>
        <source>Stream read error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/bytestream.cpp" line="24"/>
        <source>Stream write error</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::Codec</name>
    <message>
        <location filename="../toolkit/codec.cpp" line="130"/>
        <source>&quot;%1&quot; (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/codec.cpp" line="131"/>
        <source>The character %1 cannot be stored in the %2 code page.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::Error</name>
    <message>
        <location filename="../toolkit/error.cpp" line="16"/>
        <source>Invalid type cast</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::PropertyFiler</name>
    <message>
        <location filename="../toolkit/propertyfiler.cpp" line="52"/>
        <source>%1
(read from the stored property &quot;%2&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::Registry</name>
    <message>
        <location filename="../toolkit/registry.cpp" line="59"/>
        <source>out of memory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="70"/>
        <source>Invalid data type for &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="83"/>
        <location filename="../toolkit/registry.cpp" line="93"/>
        <source>Cannot create directory &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="114"/>
        <location filename="../toolkit/registry.cpp" line="295"/>
        <location filename="../toolkit/registry.cpp" line="306"/>
        <source>Cannot open registry database &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="317"/>
        <source>Cannot open registry database &apos;%1&apos;: it holds no registry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="322"/>
        <location filename="../toolkit/registry.cpp" line="334"/>
        <location filename="../toolkit/registry.cpp" line="348"/>
        <location filename="../toolkit/registry.cpp" line="379"/>
        <source>Cannot open registry database &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="364"/>
        <source>Cannot open registry database &apos;%1&apos;: it belongs to another program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="369"/>
        <source>Cannot open registry database &apos;%1&apos;: made by a newer version (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="446"/>
        <source>Cannot begin a transaction in registry database &apos;%1&apos;: one is open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="455"/>
        <source>Cannot write registry database &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="458"/>
        <source>Cannot read registry database &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="466"/>
        <source>Cannot read registry database &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="480"/>
        <source>Cannot write registry database &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="503"/>
        <location filename="../toolkit/registry.cpp" line="550"/>
        <source>Cannot read registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="519"/>
        <source>Cannot create registry key &apos;%1&apos;: the key &apos;%2&apos; no longer exists</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="543"/>
        <location filename="../toolkit/registry.cpp" line="565"/>
        <location filename="../toolkit/registry.cpp" line="570"/>
        <source>Cannot create registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="599"/>
        <source>Cannot delete registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="654"/>
        <source>Cannot list registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="673"/>
        <location filename="../toolkit/registry.cpp" line="804"/>
        <source>Cannot read value &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="723"/>
        <source>Cannot list the values of registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="736"/>
        <source>Cannot delete value &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="759"/>
        <source>Cannot write value &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="764"/>
        <source>%1: the registry key &apos;%2&apos; no longer exists</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkActnLst::TzkAction</name>
    <message>
        <location filename="../actions/tzkaction.cpp" line="95"/>
        <source>Insuficient rights to access this functionality.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkActnLst::TzkActionList</name>
    <message>
        <location filename="../actions/tzkactionlist.cpp" line="126"/>
        <source>A standard ActionList component found. Do you want to convert to Rightsmith one (strongly recomended)?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../actions/tzkactionlist.cpp" line="148"/>
        <source>Do you want to delete the conveted standard ActionList component?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkDlgSecurity::TfrmSecurity</name>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="42"/>
        <source>Security</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="56"/>
        <source>New User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="64"/>
        <source>Remove User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="70"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="71"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkEntryPasswordDlg::TdlgPassword</name>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="32"/>
        <source>Password Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="42"/>
        <source>Enter user name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="51"/>
        <source>Enter password:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="57"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="63"/>
        <source>Security</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="73"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="160"/>
        <source>Wrong user name or password.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkNewUserDlg::TdlgNewUser</name>
    <message>
        <location filename="../dialogs/tdlgnewuser.cpp" line="24"/>
        <source>New User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgnewuser.cpp" line="30"/>
        <source>User Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgnewuser.cpp" line="36"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgnewuser.cpp" line="46"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::TzkSecurity</name>
    <message>
        <location filename="../security/tzksecurity.cpp" line="59"/>
        <source>No more than one instance of Security Component allowed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/tzksecurity.cpp" line="137"/>
        <source>Cannot build Security template from clients</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/tzksecuritybuild.cpp" line="151"/>
        <source>Duplicate Security ID Found. Cannot Continue. Please correct.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::TzkSecurityDialogs</name>
    <message>
        <location filename="../security/tzksecuritydialogs.cpp" line="95"/>
        <source>Do you want to keep the current logon? If no, all protected functionality will be disabled.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::TzkSecurityTemplate</name>
    <message>
        <location filename="../security/tzksecuritytemplatestream.cpp" line="41"/>
        <source>Stream read error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/tzksecuritytemplatestream.cpp" line="103"/>
        <source>Version mismatch. Cannot continue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/tzksecuritytemplatestream.cpp" line="146"/>
        <source>Invalid level (%1) for item &quot;%2&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/tzksecuritytemplatestream.cpp" line="161"/>
        <source>Invalid index</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::UserStore</name>
    <message>
        <location filename="../security/userstore.cpp" line="58"/>
        <source>Error saving Users into Windows Registry. 	<byte value="xd"/>Probably you work with an older version of Windows that limits the size of binary block to be written to the registry. 	<byte value="xd"/>	<byte value="xd"/>To resolve this problem you may chose to save Users into a file, pointed by a registry entry. (set &quot;soSaveUsersInFile&quot; option to your TzkSecurity component and rebuild)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="70"/>
        <source>Invalid data type for &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="272"/>
        <source>The users could not be saved: %1
Store: %2.
Changes made since the last save stay in effect until the program ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="307"/>
        <source>Cannot create file %1
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="318"/>
        <source>Stream write error
%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="372"/>
        <source>the user template file &quot;%1&quot; and the registry database &quot;%2&quot; (key &quot;%3&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="377"/>
        <source>the value &quot;%1&quot; in the registry database &quot;%2&quot; (key &quot;%3&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="420"/>
        <source>the key cannot be created</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="482"/>
        <source>Cannot create file %1
The unreadable user template could not be kept aside: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="520"/>
        <location filename="../security/userstore.cpp" line="636"/>
        <source>&quot;%1&quot; is missing, but the user template is there</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="546"/>
        <source>the key cannot be opened</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="582"/>
        <source>%1
(read from %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="609"/>
        <source>%1
(read from the registry database &quot;%2&quot;, key &quot;%3&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="642"/>
        <source>&quot;%1&quot; is not a 32-bit integer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="652"/>
        <source>&quot;%1&quot; is negative (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="677"/>
        <source>the user template file is missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="681"/>
        <source>the user template file is not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="686"/>
        <source>the user template file cannot be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="691"/>
        <source>the user template file holds %1 bytes, &quot;%2&quot; says %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="704"/>
        <source>the user template file holds %1 bytes, &quot;%2&quot; says %3, and it is not a complete user template</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="753"/>
        <source>the value &quot;%1&quot; of the same key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="758"/>
        <source>There was nothing to keep aside; the store was left as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="761"/>
        <source>A copy of the unreadable user template is kept as %1; the store was left as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="767"/>
        <source>No copy could be kept aside (%1); the store was left as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/userstore.cpp" line="776"/>
        <source>The stored users cannot be read, so nobody has been logged on and no new &quot;Supervisor&quot; has been made.

Store: %1.
Problem: %2.
%3

An administrator can examine the store with &quot;rightsmith-users verify&quot; and put a good copy back with &quot;rightsmith-users restore&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkUserPasswordDlg::TdlgUserPassword</name>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="45"/>
        <source>Change Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="50"/>
        <source>Current password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="51"/>
        <source>New password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="52"/>
        <source>Retype new password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="56"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="64"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="116"/>
        <source>Invalid current or new password. Please retype.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
