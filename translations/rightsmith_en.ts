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
    <message>
        <location filename="../demo/demoapp.cpp" line="43"/>
        <source>Rightsmith Demo</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::Application</name>
    <message>
        <location filename="../toolkit/errorhandler.cpp" line="41"/>
        <source>Unknown exception</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::BitmapFile</name>
    <message>
        <location filename="../toolkit/bitmapfile.cpp" line="25"/>
        <source>Bitmap image is not valid</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/bitmapfile.cpp" line="138"/>
        <source>Stream write error</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::ByteStream</name>
    <message>
        <location filename="../toolkit/bytestream.cpp" line="17"/>
        <source>Stream read error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="44"/>
        <location filename="../toolkit/bytestream.cpp" line="23"/>
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
        <location filename="../toolkit/registry.cpp" line="61"/>
        <source>out of memory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="72"/>
        <source>Invalid data type for &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="84"/>
        <location filename="../toolkit/registry.cpp" line="93"/>
        <source>Cannot create directory &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="113"/>
        <location filename="../toolkit/registry.cpp" line="254"/>
        <location filename="../toolkit/registry.cpp" line="262"/>
        <source>Cannot open registry database &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="134"/>
        <source>folder &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="273"/>
        <source>Cannot open registry database &apos;%1&apos;: it holds no registry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="275"/>
        <location filename="../toolkit/registry.cpp" line="290"/>
        <location filename="../toolkit/registry.cpp" line="301"/>
        <location filename="../toolkit/registry.cpp" line="326"/>
        <source>Cannot open registry database &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="316"/>
        <source>Cannot open registry database &apos;%1&apos;: it belongs to another program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="318"/>
        <source>Cannot open registry database &apos;%1&apos;: made by a newer version (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="398"/>
        <source>Cannot begin a transaction in registry database &apos;%1&apos;: one is open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="403"/>
        <source>Cannot write registry database &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="404"/>
        <source>Cannot read registry database &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="410"/>
        <source>Cannot read registry database &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="422"/>
        <source>Cannot write registry database &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="443"/>
        <location filename="../toolkit/registry.cpp" line="484"/>
        <source>Cannot read registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="457"/>
        <source>Cannot create registry key &apos;%1&apos;: the key &apos;%2&apos; no longer exists</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="479"/>
        <location filename="../toolkit/registry.cpp" line="497"/>
        <location filename="../toolkit/registry.cpp" line="500"/>
        <source>Cannot create registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="527"/>
        <source>Cannot delete registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="581"/>
        <source>Cannot list registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="600"/>
        <location filename="../toolkit/registry.cpp" line="722"/>
        <source>Cannot read value &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="649"/>
        <source>Cannot list the values of registry key &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="659"/>
        <source>Cannot delete value &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="680"/>
        <source>Cannot write value &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="684"/>
        <source>%1: the registry key &apos;%2&apos; no longer exists</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkActnLst::TzkAction</name>
    <message>
        <location filename="../actions/tzkaction.cpp" line="145"/>
        <source>Insuficient rights to access this functionality.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkActnLst::TzkActionList</name>
    <message>
        <location filename="../actions/tzkactionlist.cpp" line="147"/>
        <source>A standard ActionList component found. Do you want to convert to Rightsmith one (strongly recomended)?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../actions/tzkactionlist.cpp" line="169"/>
        <source>Do you want to delete the conveted standard ActionList component?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkDlgSecurity::TfrmSecurity</name>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="48"/>
        <source>Security</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="88"/>
        <source>New User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="94"/>
        <source>Remove User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="100"/>
        <source>&amp;Unlock</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="108"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="109"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="225"/>
        <source>The failed logons of %1 are forgotten.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="227"/>
        <source>No failed logons of %1 are counted.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkEntryPasswordDlg::TdlgPassword</name>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="34"/>
        <source>Password Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="63"/>
        <source>Enter user name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="72"/>
        <source>Enter password:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="81"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="87"/>
        <source>Security</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="99"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="191"/>
        <source>The logon cannot be checked: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="193"/>
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
        <location filename="../dialogs/tdlgnewuser.cpp" line="37"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgnewuser.cpp" line="37"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity</name>
    <message>
        <location filename="../security/hardening/registrytables_p.h" line="42"/>
        <source>%1: the registry database is read-only</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::AuditTrail</name>
    <message>
        <location filename="../security/hardening/audittrail.cpp" line="60"/>
        <source>Cannot read the audit trail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/hardening/audittrail.cpp" line="65"/>
        <source>Cannot write the audit trail</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::LogonCheck</name>
    <message>
        <location filename="../security/component/logoncheck.cpp" line="54"/>
        <source>a name without a user</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/component/logoncheck.cpp" line="226"/>
        <source>Too many failed logons. Try again in 1 second.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/component/logoncheck.cpp" line="229"/>
        <source>Too many failed logons. Try again in %1 seconds.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/component/logoncheck.cpp" line="232"/>
        <source>Too many failed logons. Try again in %1 minutes.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::LogonThrottle</name>
    <message>
        <location filename="../security/hardening/logonthrottle.cpp" line="61"/>
        <source>Cannot read the failed logons</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/hardening/logonthrottle.cpp" line="67"/>
        <source>Cannot record the failed logons</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::PasswordHash</name>
    <message>
        <location filename="../security/model/passwordhash.cpp" line="133"/>
        <source>The password hash cost is below the least accepted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/model/passwordhash.cpp" line="137"/>
        <source>The password hash cost is above the most accepted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/model/passwordhash.cpp" line="149"/>
        <source>The password could not be hashed: out of memory.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/model/passwordhash.cpp" line="164"/>
        <source>The password has %1 characters; a password that is not hashed can have at most %2. Choose a shorter one, or have passwords hashed.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::SharedStore</name>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="305"/>
        <source>&quot;%1&quot; cannot name a role.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="330"/>
        <source>(an address that cannot be read)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="363"/>
        <source>The user store refused this workstation: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="442"/>
        <source>Out of memory connecting to the user store.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="446"/>
        <source>Cannot connect to the user store %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="492"/>
        <location filename="../security/store/sharedstore.cpp" line="1046"/>
        <source>The user store %1 failed: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="511"/>
        <source>The user store %1 holds tables this program did not make: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="583"/>
        <source>Only the owner of the tables of the user store %1 (%2) may upgrade them.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="625"/>
        <source>The user store %1 has a layout this program does not know (version %2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="629"/>
        <source>The user store %1 has tables of version 1; upgrade them first (rightsmith-users init-store --upgrade, as their owner).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="653"/>
        <source>The user store %1 has tables of version %2: every workstation may change its failed logons and its audit trail. The administrator should upgrade it (rightsmith-users init-store --upgrade, as the tables&apos; owner).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="689"/>
        <source>The user store %1 answered with a malformed version.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="711"/>
        <source>The user template is too large for the user store.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="750"/>
        <source>This workstation may read the users but not change them (the server refused: %1).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::StoreAddress</name>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="26"/>
        <source>Connection secrets belong in PostgreSQL&apos;s password file, not in %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="44"/>
        <source>The store configuration %1 may be changed by users other than root: %2 must belong to root and be writable by root alone (chown root %2; chmod go-w %2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="58"/>
        <location filename="../security/store/storeaddress.cpp" line="254"/>
        <source>The store configuration %1 cannot be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="166"/>
        <source>The user store address in %1 cannot be read: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="175"/>
        <source>The environment variable PGSERVICE would add the settings of a service to the user store address in %1: unset PGSERVICE.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="186"/>
        <source>The user store address in %1 names a service, whose settings each user may change: write them into the address instead.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="195"/>
        <source>The user store address in %1 does not give %2, and the environment variable %3 would choose it: unset %3, or have the administrator give %2 in the address.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="204"/>
        <source>The user store address in %1 does not name its database: have the administrator give dbname in the address.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="224"/>
        <source>The environment variable %2 would change which server the host name of the user store address in %1 leads to: unset %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="239"/>
        <source>The store configuration %1 is malformed at line %2: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="270"/>
        <source>expected key = value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="279"/>
        <source>pin is true or false</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="282"/>
        <source>unknown or repeated key %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::TzkSecurity</name>
    <message>
        <location filename="../security/component/tzksecurity.cpp" line="58"/>
        <source>No more than one instance of Security Component allowed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/component/tzksecurity.cpp" line="246"/>
        <source>The user store on the server &quot;%1&quot; cannot be reached; the users cannot be changed until it is back.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/component/tzksecuritystartup.cpp" line="48"/>
        <source>Cannot build Security template from clients</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/component/tzksecuritybuild.cpp" line="286"/>
        <source>Duplicate Security ID Found. Cannot Continue. Please correct.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/component/tzksecurityusers.cpp" line="236"/>
        <source>The password hash cost is below the least accepted (%1 passes over %2 KiB).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::TzkSecurityDialogs</name>
    <message>
        <location filename="../security/component/tzksecuritydialogs.cpp" line="100"/>
        <source>Do you want to keep the current logon? If no, all protected functionality will be disabled.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::TzkSecurityTemplate</name>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="50"/>
        <source>Stream read error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="250"/>
        <source>Version mismatch. Cannot continue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="320"/>
        <source>Invalid level (%1) for item &quot;%2&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="333"/>
        <source>Invalid index</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>zkSecurity::UserStore</name>
    <message>
        <location filename="../security/store/userstore_registry.cpp" line="25"/>
        <source>Error saving Users into Windows Registry. 	<byte value="xd"/>Probably you work with an older version of Windows that limits the size of binary block to be written to the registry. 	<byte value="xd"/>	<byte value="xd"/>To resolve this problem you may chose to save Users into a file, pointed by a registry entry. (set &quot;soSaveUsersInFile&quot; option to your TzkSecurity component and rebuild)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstorebackend.cpp" line="71"/>
        <source>Invalid data type for &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/ownfile.cpp" line="77"/>
        <source>the folder &quot;%1&quot; of the user template belongs to another account, which can replace the user template; keep it in a folder of your own</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/ownfile.cpp" line="84"/>
        <source>other accounts can write to the folder &quot;%1&quot; of the user template; take their write permission away (chmod go-w &quot;%1&quot;) or keep the user template in a folder of your own</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/ownfile.cpp" line="93"/>
        <source>the user template file &quot;%1&quot; is a symbolic link; remove the link and put a good copy back with &quot;rightsmith-users restore&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/ownfile.cpp" line="99"/>
        <location filename="../security/store/userstore_file.cpp" line="158"/>
        <source>the user template file &quot;%1&quot; belongs to another account; remove it and put a good copy back with &quot;rightsmith-users restore&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="61"/>
        <source>&quot;%1&quot; is not a regular file of this account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="48"/>
        <source>The users could not be saved: %1
Store: %2.
Your changes were not saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="52"/>
        <source>The users could not be saved: %1
Store: %2.
Changes made since the last save stay in effect until the program ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/stagedfile.cpp" line="49"/>
        <source>Cannot create file %1
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/stagedfile.cpp" line="73"/>
        <source>Stream write error
%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_shared.cpp" line="21"/>
        <source>the shared user store (key &quot;%1&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_shared.cpp" line="23"/>
        <source>the shared user store &quot;%1&quot; (key &quot;%2&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="185"/>
        <source>the user template file &quot;%1&quot; and the registry database &quot;%2&quot; (key &quot;%3&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_registry.cpp" line="162"/>
        <source>the value &quot;%1&quot; in the registry database &quot;%2&quot; (key &quot;%3&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="230"/>
        <source>The users were changed by another program since this dialog was opened; your changes were not saved. Open the dialog again to see the current users.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="99"/>
        <source>the key cannot be created</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="352"/>
        <source>Cannot create file %1
The unreadable user template could not be kept aside: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="77"/>
        <source>&quot;%1&quot; is missing, but the user template is there</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="230"/>
        <source>the user template file is not the one its last save stored (its digest differs)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="633"/>
        <source>The user store on the server &quot;%1&quot; cannot be reached:
%2

Until it is back, logons use the users this workstation last read from it, and the users cannot be changed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_shared.cpp" line="33"/>
        <source>the local copy of %1 in the registry database &quot;%2&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="774"/>
        <source>The users cannot be changed until the server &quot;%1&quot; is back; your changes were not saved.
(%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="784"/>
        <source>The users were changed on another workstation since this dialog was opened; your changes were not saved. Open the dialog again to see the current users.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/storedigest.cpp" line="56"/>
        <location filename="../security/store/userstore.cpp" line="539"/>
        <source>the key cannot be opened</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="497"/>
        <location filename="../security/store/userstore.cpp" line="721"/>
        <source>%1
(read from %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="221"/>
        <source>%1
(read from the registry database &quot;%2&quot;, key &quot;%3&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="573"/>
        <source>&quot;%1&quot; is not a 32-bit integer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="578"/>
        <source>&quot;%1&quot; is negative (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="236"/>
        <source>the user template file is missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="153"/>
        <source>the user template file is not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="147"/>
        <location filename="../security/store/userstore_file.cpp" line="165"/>
        <source>the user template file cannot be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="126"/>
        <source>the user template file holds %1 bytes, &quot;%2&quot; says %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore_registry.cpp" line="177"/>
        <source>the value &quot;%1&quot; of the same key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="600"/>
        <source>There was nothing to keep aside; the store was left as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="601"/>
        <source>A copy of the unreadable user template is kept as %1; the store was left as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="606"/>
        <source>No copy could be kept aside (%1); the store was left as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="617"/>
        <source>The stored users cannot be read, so nobody has been logged on and no new &quot;Supervisor&quot; has been made.

Store: %1.
Problem: %2.

If the server cannot be reached, start again when it is back. An administrator can examine the store with &quot;rightsmith-users --store URL verify&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="623"/>
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
        <location filename="../dialogs/tdlguserpassword.cpp" line="44"/>
        <source>Change Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="49"/>
        <source>Current password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="50"/>
        <source>New password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="51"/>
        <source>Retype new password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="55"/>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="55"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="112"/>
        <source>Invalid current or new password. Please retype.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
