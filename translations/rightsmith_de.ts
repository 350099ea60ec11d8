<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>About::TAboutBox</name>
    <message>
        <location filename="../demo/about.cpp" line="26"/>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="43"/>
        <source>Rightsmith Demonstration Program</source>
        <translation>Rightsmith-Demonstrationsprogramm</translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="46"/>
        <source>Version 2.0</source>
        <translation>Version 2.0</translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="49"/>
        <source>Copyright © The Rightsmith authors</source>
        <translation>Copyright © Die Rightsmith-Autoren</translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="52"/>
        <source>Comments</source>
        <translation>Kommentare</translation>
    </message>
    <message>
        <location filename="../demo/about.cpp" line="57"/>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
</context>
<context>
    <name>Childwin::TMDIChild</name>
    <message>
        <location filename="../demo/childwin.cpp" line="26"/>
        <source>MDI Child</source>
        <translation>MDI-Fenster</translation>
    </message>
    <message>
        <location filename="../demo/childwin.cpp" line="42"/>
        <location filename="../demo/childwin.cpp" line="48"/>
        <source>Child memo text</source>
        <translation>Text des Dokumentfensters</translation>
    </message>
</context>
<context>
    <name>Main::TMainForm</name>
    <message>
        <location filename="../demo/mainform.cpp" line="74"/>
        <source>Rightsmith Demo</source>
        <translation>Rightsmith-Demo</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="154"/>
        <location filename="../demo/mainform.cpp" line="156"/>
        <source>Non Action Control</source>
        <translation>Steuerelement ohne Aktion</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="168"/>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="239"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="239"/>
        <source>File related commands</source>
        <translation>Befehle für Dateien</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="244"/>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="244"/>
        <source>Edit commands</source>
        <translation>Befehle zum Bearbeiten</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="247"/>
        <source>&amp;Window</source>
        <translation>&amp;Fenster</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="247"/>
        <source>Window related commands</source>
        <translation>Befehle für Fenster</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="253"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="253"/>
        <source>Help topics</source>
        <translation>Hilfethemen</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="262"/>
        <source>&amp;Security</source>
        <translation>&amp;Sicherheit</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="265"/>
        <source>Rights and logon</source>
        <translation>Rechte und Anmeldung</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="279"/>
        <source>Ctrl+Shift+R</source>
        <translation>Ctrl+Shift+R</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="281"/>
        <source>Ctrl+Shift+U</source>
        <translation>Ctrl+Shift+U</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="287"/>
        <source>Logged on: %1</source>
        <translation>Angemeldet: %1</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="289"/>
        <source>Nobody is logged on</source>
        <translation>Niemand ist angemeldet</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="338"/>
        <source>Manually check ID= 30 (zkSecurity1.CheckId(30)</source>
        <translation>ID= 30 von Hand prüfen (zkSecurity1.CheckId(30)</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="466"/>
        <source>ID 30 Enabled</source>
        <translation>ID 30 freigegeben</translation>
    </message>
    <message>
        <location filename="../demo/mainform.cpp" line="468"/>
        <source>ID 30 Disabled</source>
        <translation>ID 30 gesperrt</translation>
    </message>
</context>
<context>
    <name>demo</name>
    <message>
        <location filename="../demo/demoactions.cpp" line="34"/>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="35"/>
        <source>New|Create a new file</source>
        <translation>Neu|Erstellt eine neue Datei</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="36"/>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="37"/>
        <source>Open|Open a file</source>
        <translation>Öffnen|Öffnet eine Datei</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="38"/>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="39"/>
        <source>Close|Close current file</source>
        <translation>Schließen|Schließt die aktuelle Datei</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="40"/>
        <source>&amp;Save</source>
        <translation>S&amp;peichern</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="41"/>
        <source>Save|Save current file</source>
        <translation>Speichern|Speichert die aktuelle Datei</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="42"/>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="43"/>
        <source>Save As|Save current file with different name</source>
        <translation>Speichern unter|Speichert die aktuelle Datei unter einem anderen Namen</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="44"/>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="45"/>
        <source>Exit|Exit application</source>
        <translation>Beenden|Beendet das Programm</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="46"/>
        <source>Cu&amp;t</source>
        <translation>&amp;Ausschneiden</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="47"/>
        <source>Cut|Cuts the selection and puts it on the Clipboard</source>
        <translation>Ausschneiden|Schneidet die Auswahl aus und legt sie in die Zwischenablage</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="49"/>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="50"/>
        <source>Copy|Copies the selection and puts it on the Clipboard</source>
        <translation>Kopieren|Kopiert die Auswahl in die Zwischenablage</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="52"/>
        <source>&amp;Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="53"/>
        <source>Paste|Inserts Clipboard contents</source>
        <translation>Einfügen|Fügt den Inhalt der Zwischenablage ein</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="54"/>
        <source>&amp;Cascade</source>
        <translation>Ü&amp;berlappend</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="55"/>
        <source>Cascade</source>
        <translation>Überlappend</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="56"/>
        <source>Tile &amp;Horizontally</source>
        <translation>&amp;Untereinander</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="57"/>
        <source>Tile Horizontally</source>
        <translation>Untereinander</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="58"/>
        <source>Tile &amp;Vertically</source>
        <translation>&amp;Nebeneinander</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="59"/>
        <source>Tile Vertically</source>
        <translation>Nebeneinander</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="60"/>
        <source>&amp;Minimize All</source>
        <translation>Alle &amp;minimieren</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="61"/>
        <source>Minimize All</source>
        <translation>Alle minimieren</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="62"/>
        <source>&amp;Arrange All</source>
        <translation>Alle &amp;anordnen</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="63"/>
        <source>Arrange All</source>
        <translation>Alle anordnen</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="64"/>
        <source>&amp;About...</source>
        <translation>Ü&amp;ber...</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="65"/>
        <source>About|Displays program information, version number, and copyright</source>
        <translation>Über|Zeigt Programminformationen, Versionsnummer und Copyright an</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="67"/>
        <source>Check Rights</source>
        <translation>Rechte prüfen</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="69"/>
        <source>Change User</source>
        <translation>Benutzer wechseln</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="71"/>
        <source>Non Action Control</source>
        <translation>Steuerelement ohne Aktion</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="76"/>
        <source>Child memo text</source>
        <translation>Text des Dokumentfensters</translation>
    </message>
    <message>
        <location filename="../demo/demoactions.cpp" line="77"/>
        <source>Close child</source>
        <translation>Dokumentfenster schließen</translation>
    </message>
    <message>
        <location filename="../demo/demoapp.cpp" line="44"/>
        <source>Rightsmith Demo</source>
        <translation>Rightsmith-Demo</translation>
    </message>
    <message>
        <location filename="../demo/demoapp.cpp" line="111"/>
        <source>Rightsmith Demo: a multiple-document program whose commands are guarded by
the rights of the user who logs on. It reads its users from the user store at
start-up and writes them after every accepted logon and every user management
dialog closed with OK; rightsmith-users manages the same store from the command
line. The toolkit&apos;s own options (-platform, -style...) are accepted as well.</source>
        <translation>Rightsmith-Demo: ein Programm mit mehreren Dokumentfenstern, dessen Befehle durch
die Rechte des angemeldeten Benutzers geschützt sind. Es liest seine Benutzer beim
Start aus dem Benutzerspeicher und schreibt sie nach jeder angenommenen Anmeldung
und jedem mit OK geschlossenen Benutzerverwaltungsdialog zurück; rightsmith-users
verwaltet denselben Speicher auf der Kommandozeile. Die Optionen des Toolkits
(-platform, -style...) werden ebenfalls angenommen.</translation>
    </message>
    <message>
        <location filename="../demo/demoapp.cpp" line="121"/>
        <source>Displays this help.</source>
        <translation>Zeigt diese Hilfe an.</translation>
    </message>
    <message>
        <location filename="../demo/demoapp.cpp" line="126"/>
        <source>Keeps roles beside the users: a role grants its rights to its members, and &quot;Supervisor&quot; manages the roles in the user management dialog.</source>
        <translation>Führt Rollen neben den Benutzern: Eine Rolle gewährt ihren Mitgliedern ihre Rechte, und &quot;Supervisor&quot; verwaltet die Rollen im Benutzerverwaltungsdialog.</translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::Application</name>
    <message>
        <location filename="../toolkit/errorhandler.cpp" line="41"/>
        <source>Unknown exception</source>
        <translation>Unbekannte Ausnahme</translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::BitmapFile</name>
    <message>
        <location filename="../toolkit/bitmapfile.cpp" line="25"/>
        <source>Bitmap image is not valid</source>
        <translation>Das Bitmap-Bild ist ungültig</translation>
    </message>
    <message>
        <location filename="../toolkit/bitmapfile.cpp" line="138"/>
        <source>Stream write error</source>
        <translation>Fehler beim Schreiben des Datenstroms</translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::ByteStream</name>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="46"/>
        <location filename="../toolkit/bytestream.cpp" line="23"/>
        <source>Stream write error</source>
        <translation>Fehler beim Schreiben des Datenstroms</translation>
    </message>
    <message>
        <location filename="../toolkit/bytestream.cpp" line="17"/>
        <source>Stream read error</source>
        <translation>Fehler beim Lesen des Datenstroms</translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::Codec</name>
    <message>
        <location filename="../toolkit/codec.cpp" line="130"/>
        <source>&quot;%1&quot; (%2)</source>
        <translation>&quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <location filename="../toolkit/codec.cpp" line="131"/>
        <source>The character %1 cannot be stored in the %2 code page.</source>
        <translation>Das Zeichen %1 kann in der Codepage %2 nicht gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::Error</name>
    <message>
        <location filename="../toolkit/error.cpp" line="16"/>
        <source>Invalid type cast</source>
        <translation>Ungültige Typumwandlung</translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::PropertyFiler</name>
    <message>
        <location filename="../toolkit/propertyfiler.cpp" line="52"/>
        <source>%1
(read from the stored property &quot;%2&quot;)</source>
        <translation>%1
(gelesen aus der gespeicherten Eigenschaft &quot;%2&quot;)</translation>
    </message>
</context>
<context>
    <name>rightsmith::toolkit::Registry</name>
    <message>
        <location filename="../toolkit/registry.cpp" line="65"/>
        <source>out of memory</source>
        <translation>kein Speicher mehr frei</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="76"/>
        <source>Invalid data type for &apos;%1&apos;</source>
        <translation>Ungültiger Datentyp für &apos;%1&apos;</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="88"/>
        <location filename="../toolkit/registry.cpp" line="97"/>
        <source>Cannot create directory &apos;%1&apos;: %2</source>
        <translation>Das Verzeichnis &apos;%1&apos; kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="117"/>
        <location filename="../toolkit/registry.cpp" line="357"/>
        <location filename="../toolkit/registry.cpp" line="365"/>
        <source>Cannot open registry database &apos;%1&apos;: %2</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="138"/>
        <source>folder &apos;%1&apos;: %2</source>
        <translation>Ordner &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="278"/>
        <source>it is not an SQLite database (%1)</source>
        <translation>sie ist keine SQLite-Datenbank (%1)</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="285"/>
        <source>it belongs to another program</source>
        <translation>sie gehört einem anderen Programm</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="297"/>
        <source>its tables are damaged (%1)</source>
        <translation>ihre Tabellen sind beschädigt (%1)</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="302"/>
        <source>its root key is missing</source>
        <translation>ihr Stammschlüssel fehlt</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="306"/>
        <location filename="../toolkit/registry.cpp" line="308"/>
        <source>its pages are damaged (%1)</source>
        <translation>ihre Seiten sind beschädigt (%1)</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="334"/>
        <source>Cannot move registry database &apos;%1&apos; aside: %2</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht beiseitegelegt werden: %2</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="376"/>
        <source>Cannot open registry database &apos;%1&apos;: it holds no registry</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht geöffnet werden: sie enthält keine Registrierung</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="378"/>
        <location filename="../toolkit/registry.cpp" line="393"/>
        <location filename="../toolkit/registry.cpp" line="404"/>
        <location filename="../toolkit/registry.cpp" line="429"/>
        <source>Cannot open registry database &apos;%1&apos;</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht geöffnet werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="419"/>
        <source>Cannot open registry database &apos;%1&apos;: it belongs to another program</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht geöffnet werden: sie gehört einem anderen Programm</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="421"/>
        <source>Cannot open registry database &apos;%1&apos;: made by a newer version (%2)</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht geöffnet werden: sie stammt von einer neueren Version (%2)</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="501"/>
        <source>Cannot begin a transaction in registry database &apos;%1&apos;: one is open</source>
        <translation>In der Registrierungsdatenbank &apos;%1&apos; kann keine Transaktion begonnen werden: es ist schon eine offen</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="506"/>
        <source>Cannot write registry database &apos;%1&apos;</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht geschrieben werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="507"/>
        <source>Cannot read registry database &apos;%1&apos;</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="513"/>
        <source>Cannot read registry database &apos;%1&apos;: %2</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="525"/>
        <source>Cannot write registry database &apos;%1&apos;: %2</source>
        <translation>Die Registrierungsdatenbank &apos;%1&apos; kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="546"/>
        <location filename="../toolkit/registry.cpp" line="587"/>
        <source>Cannot read registry key &apos;%1&apos;</source>
        <translation>Der Registrierungsschlüssel &apos;%1&apos; kann nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="560"/>
        <source>Cannot create registry key &apos;%1&apos;: the key &apos;%2&apos; no longer exists</source>
        <translation>Der Registrierungsschlüssel &apos;%1&apos; kann nicht angelegt werden: der Schlüssel &apos;%2&apos; existiert nicht mehr</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="582"/>
        <location filename="../toolkit/registry.cpp" line="600"/>
        <location filename="../toolkit/registry.cpp" line="603"/>
        <source>Cannot create registry key &apos;%1&apos;</source>
        <translation>Der Registrierungsschlüssel &apos;%1&apos; kann nicht angelegt werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="630"/>
        <source>Cannot delete registry key &apos;%1&apos;</source>
        <translation>Der Registrierungsschlüssel &apos;%1&apos; kann nicht gelöscht werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="684"/>
        <source>Cannot list registry key &apos;%1&apos;</source>
        <translation>Der Registrierungsschlüssel &apos;%1&apos; kann nicht aufgelistet werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="703"/>
        <location filename="../toolkit/registry.cpp" line="825"/>
        <location filename="../toolkit/registry.cpp" line="880"/>
        <source>Cannot read value &apos;%1&apos;</source>
        <translation>Der Wert &apos;%1&apos; kann nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="752"/>
        <source>Cannot list the values of registry key &apos;%1&apos;</source>
        <translation>Die Werte des Registrierungsschlüssels &apos;%1&apos; können nicht aufgelistet werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="762"/>
        <source>Cannot delete value &apos;%1&apos;</source>
        <translation>Der Wert &apos;%1&apos; kann nicht gelöscht werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="783"/>
        <source>Cannot write value &apos;%1&apos;</source>
        <translation>Der Wert &apos;%1&apos; kann nicht geschrieben werden</translation>
    </message>
    <message>
        <location filename="../toolkit/registry.cpp" line="787"/>
        <source>%1: the registry key &apos;%2&apos; no longer exists</source>
        <translation>%1: der Registrierungsschlüssel &apos;%2&apos; existiert nicht mehr</translation>
    </message>
</context>
<context>
    <name>zkActnLst::TzkAction</name>
    <message>
        <location filename="../actions/tzkaction.cpp" line="154"/>
        <source>Insuficient rights to access this functionality.</source>
        <translation>Ihre Rechte reichen für diese Funktion nicht aus.</translation>
    </message>
</context>
<context>
    <name>zkActnLst::TzkActionList</name>
    <message>
        <location filename="../actions/tzkactionlist.cpp" line="147"/>
        <source>A standard ActionList component found. Do you want to convert to Rightsmith one (strongly recomended)?</source>
        <translation>Eine Standard-ActionList-Komponente wurde gefunden. Soll sie in eine Rightsmith-ActionList umgewandelt werden (dringend empfohlen)?</translation>
    </message>
    <message>
        <location filename="../actions/tzkactionlist.cpp" line="169"/>
        <source>Do you want to delete the conveted standard ActionList component?</source>
        <translation>Soll die umgewandelte Standard-ActionList-Komponente gelöscht werden?</translation>
    </message>
</context>
<context>
    <name>zkDlgSecurity::TfrmSecurity</name>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="40"/>
        <source>Security</source>
        <translation>Sicherheit</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="82"/>
        <source>Users and rights</source>
        <translation>Benutzer und Rechte</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="97"/>
        <source>&amp;New User</source>
        <translation>&amp;Neuer Benutzer</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="103"/>
        <source>&amp;Remove User</source>
        <translation>Benutzer &amp;entfernen</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="109"/>
        <source>&amp;Unlock</source>
        <translation>Ent&amp;sperren</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="116"/>
        <source>Reset &amp;Password…</source>
        <translation>&amp;Kennwort zurücksetzen…</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="126"/>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="229"/>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="266"/>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="127"/>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="230"/>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="267"/>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="246"/>
        <source>Remove the user %1?</source>
        <translation>Den Benutzer %1 entfernen?</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="265"/>
        <source>The failed logons of %1 are forgotten.</source>
        <translation>Die fehlgeschlagenen Anmeldungen von %1 sind vergessen.</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="267"/>
        <source>No failed logons of %1 are counted.</source>
        <translation>Für %1 sind keine fehlgeschlagenen Anmeldungen gezählt.</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="287"/>
        <source>Reset Password</source>
        <translation>Kennwort zurücksetzen</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurity.cpp" line="288"/>
        <source>A new password for %1, who must change it at the next logon.</source>
        <translation>Ein neues Kennwort für %1, das bei der nächsten Anmeldung geändert werden muss.</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="72"/>
        <source>Ne&amp;w Role…</source>
        <translation>Neue &amp;Rolle…</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="77"/>
        <source>New Role</source>
        <translation>Neue Rolle</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="87"/>
        <source>Ren&amp;ame Role…</source>
        <translation>Rolle &amp;umbenennen…</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="89"/>
        <source>Rename Role</source>
        <translation>Rolle umbenennen</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="95"/>
        <source>Remo&amp;ve Role</source>
        <translation>Rolle ent&amp;fernen</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="97"/>
        <source>A&amp;dd Member…</source>
        <translation>&amp;Mitglied hinzufügen…</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="100"/>
        <source>Remove &amp;Member</source>
        <translation>Mitglie&amp;d entfernen</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="124"/>
        <source>Roles, their rights and members</source>
        <translation>Rollen, ihre Rechte und Mitglieder</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="140"/>
        <source>Ro&amp;les</source>
        <translation>Ro&amp;llen</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="146"/>
        <source>The roles cannot be changed: %1.</source>
        <translation>Die Rollen können nicht geändert werden: %1.</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="217"/>
        <source>%1&apos;s rights follow the role %2.</source>
        <translation>Die Rechte von %1 folgen der Rolle %2.</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="218"/>
        <source>%1&apos;s rights follow the roles %2.</source>
        <translation>Die Rechte von %1 folgen den Rollen %2.</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="228"/>
        <source>&amp;Role Name</source>
        <translation>&amp;Rollenname</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="258"/>
        <source>Every user but &quot;Supervisor&quot; is a member of the role %1.</source>
        <translation>Jeder Benutzer außer &quot;Supervisor&quot; ist Mitglied der Rolle %1.</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="264"/>
        <source>Add Member</source>
        <translation>Mitglied hinzufügen</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="265"/>
        <source>&amp;User to add to the role %1</source>
        <translation>&amp;Benutzer, der in die Rolle %1 aufgenommen wird</translation>
    </message>
    <message>
        <location filename="../dialogs/tfrmsecurityroles.cpp" line="286"/>
        <source>Remove the role %1?</source>
        <translation>Die Rolle %1 entfernen?</translation>
    </message>
</context>
<context>
    <name>zkEntryPasswordDlg::TdlgPassword</name>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="34"/>
        <source>Password Dialog</source>
        <translation>Anmeldung</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="63"/>
        <source>Enter &amp;user name:</source>
        <translation>&amp;Benutzername:</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="72"/>
        <source>Enter &amp;password:</source>
        <translation>&amp;Kennwort:</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="81"/>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="87"/>
        <source>&amp;Security</source>
        <translation>&amp;Sicherheit</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="99"/>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="191"/>
        <source>The logon cannot be checked: %1</source>
        <translation>Die Anmeldung kann nicht geprüft werden: %1</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgpassword.cpp" line="193"/>
        <source>Wrong user name or password.</source>
        <translation>Benutzername oder Kennwort falsch.</translation>
    </message>
</context>
<context>
    <name>zkNewUserDlg::TdlgNewUser</name>
    <message>
        <location filename="../dialogs/tdlgnewuser.cpp" line="24"/>
        <source>New User</source>
        <translation>Neuer Benutzer</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgnewuser.cpp" line="30"/>
        <source>&amp;User Name</source>
        <translation>&amp;Benutzername</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgnewuser.cpp" line="37"/>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlgnewuser.cpp" line="37"/>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
</context>
<context>
    <name>zkSecurity</name>
    <message>
        <location filename="../security/hardening/registrytables_p.h" line="42"/>
        <source>%1: the registry database is read-only</source>
        <translation>%1: die Registrierungsdatenbank ist schreibgeschützt</translation>
    </message>
</context>
<context>
    <name>zkSecurity::AuditTrail</name>
    <message>
        <location filename="../security/hardening/audittrail.cpp" line="76"/>
        <source>Cannot read the audit trail</source>
        <translation>Das Prüfprotokoll kann nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../security/hardening/audittrail.cpp" line="81"/>
        <source>Cannot write the audit trail</source>
        <translation>Das Prüfprotokoll kann nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>zkSecurity::LogonCheck</name>
    <message>
        <location filename="../security/component/logoncheck.cpp" line="55"/>
        <source>a name without a user</source>
        <translation>ein Name ohne Benutzer</translation>
    </message>
    <message>
        <location filename="../security/component/logoncheck.cpp" line="236"/>
        <source>Too many failed logons. Try again in 1 second.</source>
        <translation>Zu viele fehlgeschlagene Anmeldungen. Versuchen Sie es in 1 Sekunde erneut.</translation>
    </message>
    <message>
        <location filename="../security/component/logoncheck.cpp" line="239"/>
        <source>Too many failed logons. Try again in %1 seconds.</source>
        <translation>Zu viele fehlgeschlagene Anmeldungen. Versuchen Sie es in %1 Sekunden erneut.</translation>
    </message>
    <message>
        <location filename="../security/component/logoncheck.cpp" line="242"/>
        <source>Too many failed logons. Try again in %1 minutes.</source>
        <translation>Zu viele fehlgeschlagene Anmeldungen. Versuchen Sie es in %1 Minuten erneut.</translation>
    </message>
</context>
<context>
    <name>zkSecurity::LogonThrottle</name>
    <message>
        <location filename="../security/hardening/logonthrottle.cpp" line="61"/>
        <source>Cannot read the failed logons</source>
        <translation>Die fehlgeschlagenen Anmeldungen können nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../security/hardening/logonthrottle.cpp" line="67"/>
        <source>Cannot record the failed logons</source>
        <translation>Die fehlgeschlagenen Anmeldungen können nicht festgehalten werden</translation>
    </message>
</context>
<context>
    <name>zkSecurity::PasswordHash</name>
    <message>
        <location filename="../security/model/passwordhash.cpp" line="139"/>
        <source>The password hash cost is below the least accepted.</source>
        <translation>Der Aufwand des Kennwort-Hashes liegt unter dem kleinsten zulässigen.</translation>
    </message>
    <message>
        <location filename="../security/model/passwordhash.cpp" line="143"/>
        <source>The password hash cost is above the most accepted.</source>
        <translation>Der Aufwand des Kennwort-Hashes liegt über dem größten zulässigen.</translation>
    </message>
    <message>
        <location filename="../security/model/passwordhash.cpp" line="155"/>
        <source>The password could not be hashed: out of memory.</source>
        <translation>Das Kennwort konnte nicht gehasht werden: kein Speicher mehr frei.</translation>
    </message>
    <message>
        <location filename="../security/model/passwordhash.cpp" line="173"/>
        <source>The password has %1 characters; a password that is not hashed can have at most %2. Choose a shorter one, or have passwords hashed.</source>
        <translation>Das Kennwort hat %1 Zeichen; ein nicht gehashtes Kennwort darf höchstens %2 haben. Wählen Sie ein kürzeres, oder lassen Sie Kennwörter hashen.</translation>
    </message>
</context>
<context>
    <name>zkSecurity::PasswordRules</name>
    <message>
        <location filename="../security/hardening/passwordrules.cpp" line="14"/>
        <source>The password cannot be empty.</source>
        <translation>Das Kennwort darf nicht leer sein.</translation>
    </message>
    <message>
        <location filename="../security/hardening/passwordrules.cpp" line="19"/>
        <source>The password is too short: it must have at least %1 characters.</source>
        <translation>Das Kennwort ist zu kurz: es muss mindestens %1 Zeichen haben.</translation>
    </message>
    <message>
        <location filename="../security/hardening/passwordrules.cpp" line="25"/>
        <source>The password cannot be the user name.</source>
        <translation>Das Kennwort darf nicht der Benutzername sein.</translation>
    </message>
</context>
<context>
    <name>zkSecurity::Roles</name>
    <message>
        <location filename="../security/model/roles.cpp" line="123"/>
        <source>a role has no name</source>
        <translation>eine Rolle hat keinen Namen</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="125"/>
        <source>the role &quot;%1&quot; is there twice</source>
        <translation>die Rolle &quot;%1&quot; ist doppelt vorhanden</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="129"/>
        <source>the role &quot;%1&quot; does not hold &quot;Rights&quot; and &quot;Members&quot;</source>
        <translation>die Rolle &quot;%1&quot; enthält nicht &quot;Rights&quot; und &quot;Members&quot;</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="131"/>
        <source>the role &quot;%1&quot; has no record</source>
        <translation>die Rolle &quot;%1&quot; hat keinen Datensatz</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="134"/>
        <source>a right of the role &quot;%1&quot; has no record</source>
        <translation>ein Recht der Rolle &quot;%1&quot; hat keinen Datensatz</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="137"/>
        <source>the right &quot;%1&quot; of the role &quot;%2&quot; reads both granted and denied</source>
        <translation>das Recht &quot;%1&quot; der Rolle &quot;%2&quot; ist zugleich als gewährt und als verweigert gespeichert</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="145"/>
        <source>a member of the role &quot;%1&quot; is not a user name</source>
        <translation>ein Mitglied der Rolle &quot;%1&quot; ist kein Benutzername</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="147"/>
        <source>&quot;Supervisor&quot; is a member of the role &quot;%1&quot;</source>
        <translation>&quot;Supervisor&quot; ist Mitglied der Rolle &quot;%1&quot;</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="149"/>
        <source>&quot;%1&quot; is a member of the role &quot;%2&quot; twice</source>
        <translation>&quot;%1&quot; ist zweimal Mitglied der Rolle &quot;%2&quot;</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="162"/>
        <source>The roles are damaged (%1); nothing was changed.</source>
        <translation>Die Rollen sind beschädigt (%1); es wurde nichts geändert.</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="170"/>
        <source>A role needs a name.</source>
        <translation>Eine Rolle braucht einen Namen.</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="173"/>
        <source>A role name cannot begin or end with a blank or hold a line break: &quot;%1&quot;.</source>
        <translation>Ein Rollenname darf nicht mit einem Leerzeichen beginnen oder enden und keinen Zeilenumbruch enthalten: &quot;%1&quot;.</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="176"/>
        <source>There is a user named &quot;%1&quot;; a role cannot have that name.</source>
        <translation>Es gibt einen Benutzer namens &quot;%1&quot;; eine Rolle kann nicht so heißen.</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="178"/>
        <source>There is a role named &quot;%1&quot; already.</source>
        <translation>Es gibt bereits eine Rolle namens &quot;%1&quot;.</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="250"/>
        <location filename="../security/model/roles.cpp" line="315"/>
        <source>There is no user named &quot;%1&quot;.</source>
        <translation>Es gibt keinen Benutzer namens &quot;%1&quot;.</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="267"/>
        <source>There is no role named &quot;%1&quot;.</source>
        <translation>Es gibt keine Rolle namens &quot;%1&quot;.</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="297"/>
        <source>The role &quot;%1&quot; holds no right %2.</source>
        <translation>Die Rolle &quot;%1&quot; enthält kein Recht %2.</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="313"/>
        <source>&quot;Supervisor&quot; cannot be a member of a role; its rights stay its own.</source>
        <translation>&quot;Supervisor&quot; kann nicht Mitglied einer Rolle sein; seine Rechte bleiben seine eigenen.</translation>
    </message>
    <message>
        <location filename="../security/model/roles.cpp" line="330"/>
        <source>&quot;%1&quot; is not a member of the role &quot;%2&quot;.</source>
        <translation>&quot;%1&quot; ist nicht Mitglied der Rolle &quot;%2&quot;.</translation>
    </message>
</context>
<context>
    <name>zkSecurity::SharedStore</name>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="550"/>
        <source>&quot;%1&quot; cannot name a role.</source>
        <translation>&quot;%1&quot; kann keine Rolle benennen.</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="575"/>
        <source>(an address that cannot be read)</source>
        <translation>(eine Adresse, die nicht gelesen werden kann)</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="608"/>
        <source>The user store refused this workstation: %1</source>
        <translation>Der Benutzerspeicher hat diesen Arbeitsplatz abgewiesen: %1</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="695"/>
        <source>Out of memory connecting to the user store.</source>
        <translation>Kein Speicher mehr frei beim Verbinden mit dem Benutzerspeicher.</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="699"/>
        <source>Cannot connect to the user store %1: %2</source>
        <translation>Keine Verbindung zum Benutzerspeicher %1: %2</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="756"/>
        <source>The user store %1 has not been made in this database (%2). An administrator makes it by running init-store:
%3</source>
        <translation>Der Benutzerspeicher %1 wurde in dieser Datenbank (%2) nicht angelegt. Ein Administrator legt ihn mit init-store an:
%3</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="759"/>
        <location filename="../security/store/sharedstore.cpp" line="1985"/>
        <source>The user store %1 failed: %2</source>
        <translation>Der Benutzerspeicher %1 ist fehlgeschlagen: %2</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="778"/>
        <source>The user store %1 holds tables this program did not make: %2</source>
        <translation>Der Benutzerspeicher %1 enthält Tabellen, die nicht von diesem Programm stammen: %2</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="899"/>
        <source>Only the owner of the tables of the user store %1 (%2) may upgrade them.</source>
        <translation>Nur der Eigentümer der Tabellen des Benutzerspeichers %1 (%2) darf sie aktualisieren.</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="952"/>
        <source>The user store %1 has a layout this program does not know (version %2).</source>
        <translation>Der Benutzerspeicher %1 hat einen Aufbau, den dieses Programm nicht kennt (Version %2).</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="956"/>
        <source>The user store %1 has tables of version %2; upgrade them first, as their owner:
%3</source>
        <translation>Der Benutzerspeicher %1 hat Tabellen der Version %2; aktualisieren Sie sie zuerst, als ihr Eigentümer:
%3</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="991"/>
        <source>The user store %1 has tables of version 4, which send every workstation the whole user template at every change. The administrator should upgrade it, as the tables&apos; owner:
%2</source>
        <translation>Der Benutzerspeicher %1 hat Tabellen der Version 4, die bei jeder Änderung jedem Arbeitsplatz die ganze Benutzervorlage schicken. Der Administrator sollte ihn aktualisieren, als Eigentümer der Tabellen:
%2</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="996"/>
        <source>The user store %1 has tables of version 3, which keep no roles. The administrator should upgrade it, as the tables&apos; owner:
%2</source>
        <translation>Der Benutzerspeicher %1 hat Tabellen der Version 3, die keine Rollen führen. Der Administrator sollte ihn aktualisieren, als Eigentümer der Tabellen:
%2</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="1001"/>
        <source>The user store %1 has tables of version 2, which keep no backups of the user template. The administrator should upgrade it, as the tables&apos; owner:
%2</source>
        <translation>Der Benutzerspeicher %1 hat Tabellen der Version 2, die keine Sicherungen der Benutzervorlage aufbewahren. Der Administrator sollte ihn aktualisieren, als Eigentümer der Tabellen:
%2</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="1005"/>
        <source>The user store %1 has tables of version %2: every workstation may change its failed logons and its audit trail. The administrator should upgrade it, as the tables&apos; owner:
%3</source>
        <translation>Der Benutzerspeicher %1 hat Tabellen der Version %2: jeder Arbeitsplatz kann seine fehlgeschlagenen Anmeldungen und sein Prüfprotokoll ändern. Der Administrator sollte ihn aktualisieren, als Eigentümer der Tabellen:
%3</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="1044"/>
        <source>&quot;roles&quot; does not have the size &quot;roles_size&quot; says</source>
        <translation>&quot;roles&quot; hat nicht die Größe, die &quot;roles_size&quot; angibt</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="1049"/>
        <source>This workstation may read the users but not change them (the server refused: %1).</source>
        <translation>Dieser Arbeitsplatz darf die Benutzer lesen, aber nicht ändern (der Server hat abgelehnt: %1).</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="1108"/>
        <source>The user store %1 answered with a user template whose users do not add up.</source>
        <translation>Der Benutzerspeicher %1 hat mit einer Benutzervorlage geantwortet, deren Benutzer nicht stimmig sind.</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="1134"/>
        <source>The user store %1 answered with a malformed version.</source>
        <translation>Der Benutzerspeicher %1 hat mit einer fehlerhaften Version geantwortet.</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="1314"/>
        <source>The user store %1 has tables of version %2, which keep no roles; upgrade them first, as their owner:
%3</source>
        <translation>Der Benutzerspeicher %1 hat Tabellen der Version %2, die keine Rollen führen; aktualisieren Sie sie zuerst, als ihr Eigentümer:
%3</translation>
    </message>
    <message>
        <location filename="../security/store/sharedstore.cpp" line="1321"/>
        <source>The user template is too large for the user store.</source>
        <translation>Die Benutzervorlage ist zu groß für den Benutzerspeicher.</translation>
    </message>
</context>
<context>
    <name>zkSecurity::StoreAddress</name>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="26"/>
        <source>Connection secrets belong in PostgreSQL&apos;s password file, not in %1.</source>
        <translation>Zugangsdaten gehören in die Kennwortdatei von PostgreSQL, nicht in %1.</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="44"/>
        <source>The store configuration %1 may be changed by users other than root: %2 must belong to root and be writable by root alone (chown root %2; chmod go-w %2).</source>
        <translation>Die Speicherkonfiguration %1 kann von anderen Benutzern als root geändert werden: %2 muss root gehören und darf nur für root beschreibbar sein (chown root %2; chmod go-w %2).</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="58"/>
        <location filename="../security/store/storeaddress.cpp" line="254"/>
        <source>The store configuration %1 cannot be read.</source>
        <translation>Die Speicherkonfiguration %1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="166"/>
        <source>The user store address in %1 cannot be read: %2</source>
        <translation>Die Adresse des Benutzerspeichers in %1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="175"/>
        <source>The environment variable PGSERVICE would add the settings of a service to the user store address in %1: unset PGSERVICE.</source>
        <translation>Die Umgebungsvariable PGSERVICE würde der Adresse des Benutzerspeichers in %1 die Einstellungen eines Dienstes hinzufügen: entfernen Sie PGSERVICE (unset PGSERVICE).</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="186"/>
        <source>The user store address in %1 names a service, whose settings each user may change: write them into the address instead.</source>
        <translation>Die Adresse des Benutzerspeichers in %1 nennt einen Dienst, dessen Einstellungen jeder Benutzer ändern kann: schreiben Sie sie stattdessen in die Adresse.</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="195"/>
        <source>The user store address in %1 does not give %2, and the environment variable %3 would choose it: unset %3, or have the administrator give %2 in the address.</source>
        <translation>Die Adresse des Benutzerspeichers in %1 gibt %2 nicht an, und die Umgebungsvariable %3 würde es bestimmen: entfernen Sie %3 (unset %3), oder lassen Sie den Administrator %2 in der Adresse angeben.</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="204"/>
        <source>The user store address in %1 does not name its database: have the administrator give dbname in the address.</source>
        <translation>Die Adresse des Benutzerspeichers in %1 nennt ihre Datenbank nicht: lassen Sie den Administrator dbname in der Adresse angeben.</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="224"/>
        <source>The environment variable %2 would change which server the host name of the user store address in %1 leads to: unset %2.</source>
        <translation>Die Umgebungsvariable %2 würde ändern, zu welchem Server der Hostname der Adresse des Benutzerspeichers in %1 führt: entfernen Sie %2 (unset %2).</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="239"/>
        <source>The store configuration %1 is malformed at line %2: %3</source>
        <translation>Die Speicherkonfiguration %1 ist in Zeile %2 fehlerhaft: %3</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="270"/>
        <source>expected key = value</source>
        <translation>erwartet wird Schlüssel = Wert</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="279"/>
        <source>pin is true or false</source>
        <translation>pin ist true oder false</translation>
    </message>
    <message>
        <location filename="../security/store/storeaddress.cpp" line="282"/>
        <source>unknown or repeated key %1</source>
        <translation>unbekannter oder wiederholter Schlüssel %1</translation>
    </message>
</context>
<context>
    <name>zkSecurity::TzkSecurity</name>
    <message>
        <location filename="../security/component/tzksecurity.cpp" line="67"/>
        <source>No more than one instance of Security Component allowed.</source>
        <translation>Es ist höchstens eine Instanz der Sicherheitskomponente erlaubt.</translation>
    </message>
    <message>
        <location filename="../security/component/tzksecurity.cpp" line="264"/>
        <source>The user store on the server &quot;%1&quot; cannot be reached; the users cannot be changed until it is back.</source>
        <translation>Der Benutzerspeicher auf dem Server &quot;%1&quot; ist nicht erreichbar; die Benutzer können erst wieder geändert werden, wenn er zurück ist.</translation>
    </message>
    <message>
        <location filename="../security/component/tzksecuritybuild.cpp" line="286"/>
        <source>Duplicate Security ID Found. Cannot Continue. Please correct.</source>
        <translation>Doppelte Sicherheits-ID gefunden. Es kann nicht fortgefahren werden. Bitte korrigieren.</translation>
    </message>
    <message>
        <location filename="../security/component/tzksecuritystartup.cpp" line="48"/>
        <source>Cannot build Security template from clients</source>
        <translation>Die Sicherheitsvorlage kann nicht aus den Clients erstellt werden</translation>
    </message>
    <message>
        <location filename="../security/component/tzksecurityusers.cpp" line="267"/>
        <source>The password hash cost is below the least accepted (%1 passes over %2 KiB).</source>
        <translation>Der Aufwand des Kennwort-Hashes liegt unter dem kleinsten zulässigen (%1 Durchläufe über %2 KiB).</translation>
    </message>
</context>
<context>
    <name>zkSecurity::TzkSecurityDialogs</name>
    <message>
        <location filename="../security/component/tzksecuritydialogs.cpp" line="114"/>
        <source>Do you want to keep the current logon? If no, all protected functionality will be disabled.</source>
        <translation>Soll die aktuelle Anmeldung bestehen bleiben? Wenn nicht, werden alle geschützten Funktionen gesperrt.</translation>
    </message>
</context>
<context>
    <name>zkSecurity::TzkSecurityTemplate</name>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="52"/>
        <location filename="../security/store/templaterows.cpp" line="36"/>
        <source>Stream read error</source>
        <translation>Fehler beim Lesen des Datenstroms</translation>
    </message>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="267"/>
        <source>Version mismatch. Cannot continue</source>
        <translation>Die Versionen passen nicht zusammen. Es kann nicht fortgefahren werden</translation>
    </message>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="381"/>
        <source>Invalid level (%1) for item &quot;%2&quot;</source>
        <translation>Ungültige Ebene (%1) für den Eintrag &quot;%2&quot;</translation>
    </message>
    <message>
        <location filename="../security/model/tzksecuritytemplatestream.cpp" line="401"/>
        <source>Invalid index</source>
        <translation>Ungültiger Index</translation>
    </message>
</context>
<context>
    <name>zkSecurity::UserStore</name>
    <message>
        <location filename="../security/store/ownfile.cpp" line="77"/>
        <source>the folder &quot;%1&quot; of the user template belongs to another account, which can replace the user template; keep it in a folder of your own</source>
        <translation>der Ordner &quot;%1&quot; der Benutzervorlage gehört einem anderen Konto, das die Benutzervorlage ersetzen kann; legen Sie sie in einen eigenen Ordner</translation>
    </message>
    <message>
        <location filename="../security/store/ownfile.cpp" line="84"/>
        <source>other accounts can write to the folder &quot;%1&quot; of the user template; take their write permission away (chmod go-w &quot;%1&quot;) or keep the user template in a folder of your own</source>
        <translation>andere Konten können in den Ordner &quot;%1&quot; der Benutzervorlage schreiben; entziehen Sie ihnen das Schreibrecht (chmod go-w &quot;%1&quot;) oder legen Sie die Benutzervorlage in einen eigenen Ordner</translation>
    </message>
    <message>
        <location filename="../security/store/ownfile.cpp" line="93"/>
        <source>the user template file &quot;%1&quot; is a symbolic link; remove the link and put a good copy back with &quot;rightsmith-users restore&quot;</source>
        <translation>die Benutzervorlagendatei &quot;%1&quot; ist ein symbolischer Link; entfernen Sie den Link und stellen Sie mit &quot;rightsmith-users restore&quot; eine gute Kopie zurück</translation>
    </message>
    <message>
        <location filename="../security/store/ownfile.cpp" line="99"/>
        <location filename="../security/store/userstore_file.cpp" line="161"/>
        <source>the user template file &quot;%1&quot; belongs to another account; remove it and put a good copy back with &quot;rightsmith-users restore&quot;</source>
        <translation>die Benutzervorlagendatei &quot;%1&quot; gehört einem anderen Konto; entfernen Sie sie und stellen Sie mit &quot;rightsmith-users restore&quot; eine gute Kopie zurück</translation>
    </message>
    <message>
        <location filename="../security/store/stagedfile.cpp" line="49"/>
        <source>Cannot create file %1
%2</source>
        <translation>Die Datei %1 kann nicht angelegt werden
%2</translation>
    </message>
    <message>
        <location filename="../security/store/stagedfile.cpp" line="73"/>
        <source>Stream write error
%1: %2</source>
        <translation>Fehler beim Schreiben des Datenstroms
%1: %2</translation>
    </message>
    <message>
        <location filename="../security/store/storedigest.cpp" line="56"/>
        <location filename="../security/store/userstore.cpp" line="593"/>
        <source>the key cannot be opened</source>
        <translation>der Schlüssel kann nicht geöffnet werden</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="53"/>
        <source>The users could not be saved: %1
Store: %2.
Your changes were not saved.</source>
        <translation>Die Benutzer konnten nicht gespeichert werden: %1
Speicher: %2.
Ihre Änderungen wurden nicht gespeichert.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="57"/>
        <source>The users could not be saved: %1
Store: %2.
Changes made since the last save stay in effect until the program ends.</source>
        <translation>Die Benutzer konnten nicht gespeichert werden: %1
Speicher: %2.
Änderungen seit dem letzten Speichern bleiben bis zum Ende des Programms wirksam.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="82"/>
        <source>&quot;%1&quot; is missing, but the user template is there</source>
        <translation>&quot;%1&quot; fehlt, aber die Benutzervorlage ist vorhanden</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="104"/>
        <source>the key cannot be created</source>
        <translation>der Schlüssel kann nicht angelegt werden</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="226"/>
        <source>%1
(read from the registry database &quot;%2&quot;, key &quot;%3&quot;)</source>
        <translation>%1
(gelesen aus der Registrierungsdatenbank &quot;%2&quot;, Schlüssel &quot;%3&quot;)</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="235"/>
        <source>The users were changed by another program since this dialog was opened; your changes were not saved. Open the dialog again to see the current users.</source>
        <translation>Die Benutzer wurden von einem anderen Programm geändert, seit dieser Dialog geöffnet wurde; Ihre Änderungen wurden nicht gespeichert. Öffnen Sie den Dialog erneut, um die aktuellen Benutzer zu sehen.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="549"/>
        <location filename="../security/store/userstore.cpp" line="828"/>
        <source>%1
(read from %2)</source>
        <translation>%1
(gelesen aus %2)</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="612"/>
        <source>the registry database &quot;%1&quot; is damaged: %2</source>
        <translation>die Registrierungsdatenbank &quot;%1&quot; ist beschädigt: %2</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="639"/>
        <source>&quot;%1&quot; is not a 32-bit integer</source>
        <translation>&quot;%1&quot; ist keine 32-Bit-Ganzzahl</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="644"/>
        <source>&quot;%1&quot; is negative (%2)</source>
        <translation>&quot;%1&quot; ist negativ (%2)</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="678"/>
        <source>There was nothing to keep aside; the store was left as it is.</source>
        <translation>Es gab nichts beiseitezulegen; der Speicher blieb, wie er ist.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="679"/>
        <source>A copy of the unreadable user template is kept as %1; the store was left as it is.</source>
        <translation>Eine Kopie der unlesbaren Benutzervorlage wird als %1 aufbewahrt; der Speicher blieb, wie er ist.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="684"/>
        <source>No copy could be kept aside (%1); the store was left as it is.</source>
        <translation>Es konnte keine Kopie beiseitegelegt werden (%1); der Speicher blieb, wie er ist.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="695"/>
        <source>The stored users cannot be read, so nobody has been logged on and no new &quot;Supervisor&quot; has been made.

Store: %1.
Problem: %2.

If the server cannot be reached, start again when it is back. An administrator can examine the store with:
%3
list the last good user templates it kept with:
%4
and put one of them (number N) back with:
%5</source>
        <translation>Die gespeicherten Benutzer können nicht gelesen werden; daher wurde niemand angemeldet und kein neuer &quot;Supervisor&quot; angelegt.

Speicher: %1.
Problem: %2.

Wenn der Server nicht erreichbar ist, starten Sie erneut, sobald er zurück ist. Ein Administrator kann den Speicher prüfen mit:
%3
die letzten guten Benutzervorlagen, die er aufbewahrt hat, auflisten mit:
%4
und eine davon (Nummer N) zurückstellen mit:
%5</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="705"/>
        <source>The stored users cannot be read, so nobody has been logged on and no new &quot;Supervisor&quot; has been made.

Store: %1.
Problem: %2.
%3

An administrator can examine the store with:
%4
and move the damaged database aside (it is kept) and make a new one with:
%5
or, putting a good copy COPY of the user template back at the same time:
%6</source>
        <translation>Die gespeicherten Benutzer können nicht gelesen werden; daher wurde niemand angemeldet und kein neuer &quot;Supervisor&quot; angelegt.

Speicher: %1.
Problem: %2.
%3

Ein Administrator kann den Speicher prüfen mit:
%4
und die beschädigte Datenbank beiseitelegen (sie bleibt erhalten) und eine neue anlegen mit:
%5
oder dabei zugleich eine gute Kopie COPY der Benutzervorlage zurückstellen mit:
%6</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="714"/>
        <source>The stored users cannot be read, so nobody has been logged on and no new &quot;Supervisor&quot; has been made.

Store: %1.
Problem: %2.
%3

An administrator can examine the store with:
%4
list the last good user templates it kept with:
%5
and put one of them (number N) back with:
%6
or a good copy COPY of your own with:
%7</source>
        <translation>Die gespeicherten Benutzer können nicht gelesen werden; daher wurde niemand angemeldet und kein neuer &quot;Supervisor&quot; angelegt.

Speicher: %1.
Problem: %2.
%3

Ein Administrator kann den Speicher prüfen mit:
%4
die letzten guten Benutzervorlagen, die er aufbewahrt hat, auflisten mit:
%5
und eine davon (Nummer N) zurückstellen mit:
%6
oder eine eigene gute Kopie COPY mit:
%7</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="736"/>
        <source>The user store on the server &quot;%1&quot; cannot be reached:
%2

Until it is back, logons use the users this workstation last read from it, and the users cannot be changed.</source>
        <translation>Der Benutzerspeicher auf dem Server &quot;%1&quot; ist nicht erreichbar:
%2

Bis er zurück ist, verwenden Anmeldungen die Benutzer, die dieser Arbeitsplatz zuletzt von ihm gelesen hat, und die Benutzer können nicht geändert werden.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="939"/>
        <source>The users cannot be changed until the server &quot;%1&quot; is back; your changes were not saved.
(%2)</source>
        <translation>Die Benutzer können nicht geändert werden, bis der Server &quot;%1&quot; zurück ist; Ihre Änderungen wurden nicht gespeichert.
(%2)</translation>
    </message>
    <message>
        <location filename="../security/store/userstore.cpp" line="954"/>
        <source>The users were changed on another workstation since this dialog was opened; your changes were not saved. Open the dialog again to see the current users.</source>
        <translation>Die Benutzer wurden an einem anderen Arbeitsplatz geändert, seit dieser Dialog geöffnet wurde; Ihre Änderungen wurden nicht gespeichert. Öffnen Sie den Dialog erneut, um die aktuellen Benutzer zu sehen.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_backups.cpp" line="62"/>
        <source>There is no backup %1 of %2 (%3 kept); nothing was changed.</source>
        <translation>Es gibt keine Sicherung %1 von %2 (%3 aufbewahrt); es wurde nichts geändert.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_backups.cpp" line="70"/>
        <source>Backup %1 of %2 fails its digest check (it was damaged since it was kept); nothing was changed.</source>
        <translation>Die Sicherung %1 von %2 besteht die Prüfsummenprüfung nicht (sie wurde beschädigt, seit sie aufbewahrt wird); es wurde nichts geändert.</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_backups.cpp" line="92"/>
        <location filename="../security/store/userstore_backups.cpp" line="206"/>
        <source>backup %1 of %2</source>
        <translation>Sicherung %1 von %2</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_backups.cpp" line="106"/>
        <source>backup 1 of %1</source>
        <translation>Sicherung 1 von %1</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="64"/>
        <source>&quot;%1&quot; is not a regular file of this account</source>
        <translation>&quot;%1&quot; ist keine reguläre Datei dieses Kontos</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="129"/>
        <source>the user template file holds %1 bytes, &quot;%2&quot; says %3</source>
        <translation>die Benutzervorlagendatei enthält %1 Bytes, &quot;%2&quot; gibt %3 an</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="150"/>
        <location filename="../security/store/userstore_file.cpp" line="168"/>
        <source>the user template file cannot be read: %1</source>
        <translation>die Benutzervorlagendatei kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="156"/>
        <source>the user template file is not a regular file</source>
        <translation>die Benutzervorlagendatei ist keine reguläre Datei</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="197"/>
        <source>the user template file &quot;%1&quot; and the registry database &quot;%2&quot; (key &quot;%3&quot;)</source>
        <translation>die Benutzervorlagendatei &quot;%1&quot; und die Registrierungsdatenbank &quot;%2&quot; (Schlüssel &quot;%3&quot;)</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="242"/>
        <source>the user template file is not the one its last save stored (its digest differs)</source>
        <translation>die Benutzervorlagendatei ist nicht die beim letzten Speichern geschriebene (ihre Prüfsumme weicht ab)</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="248"/>
        <source>the user template file is missing</source>
        <translation>die Benutzervorlagendatei fehlt</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="364"/>
        <source>Cannot create file %1
The unreadable user template could not be kept aside: %2</source>
        <translation>Die Datei %1 kann nicht angelegt werden
Die unlesbare Benutzervorlage konnte nicht beiseitegelegt werden: %2</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="572"/>
        <source>the folder &quot;%1&quot; cannot be made: %2</source>
        <translation>der Ordner &quot;%1&quot; kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_file.cpp" line="579"/>
        <source>&quot;%1&quot; is not a folder of this account that only this account can write to</source>
        <translation>&quot;%1&quot; ist kein Ordner dieses Kontos, in den nur dieses Konto schreiben kann</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_registry.cpp" line="31"/>
        <source>Error saving Users into Windows Registry. 	<byte value="xd"/>Probably you work with an older version of Windows that limits the size of binary block to be written to the registry. 	<byte value="xd"/>	<byte value="xd"/>To resolve this problem you may chose to save Users into a file, pointed by a registry entry. (set &quot;soSaveUsersInFile&quot; option to your TzkSecurity component and rebuild)</source>
        <translation>Fehler beim Speichern der Benutzer in der Windows-Registrierung. 	</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_registry.cpp" line="163"/>
        <source>Cannot keep a backup of the user template</source>
        <translation>Es kann keine Sicherung der Benutzervorlage aufbewahrt werden</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_registry.cpp" line="233"/>
        <source>the value &quot;%1&quot; in the registry database &quot;%2&quot; (key &quot;%3&quot;)</source>
        <translation>der Wert &quot;%1&quot; in der Registrierungsdatenbank &quot;%2&quot; (Schlüssel &quot;%3&quot;)</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_registry.cpp" line="248"/>
        <source>the value &quot;%1&quot; of the same key</source>
        <translation>der Wert &quot;%1&quot; desselben Schlüssels</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_registry.cpp" line="391"/>
        <source>backup 1</source>
        <translation>Sicherung 1</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_registry.cpp" line="418"/>
        <source>Cannot read the backups of the user template</source>
        <translation>Die Sicherungen der Benutzervorlage können nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_roles.cpp" line="42"/>
        <source>&quot;%1&quot; is missing or not binary</source>
        <translation>&quot;%1&quot; fehlt oder ist nicht binär</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_roles.cpp" line="45"/>
        <source>&quot;%1&quot; is missing or not a 32-bit integer</source>
        <translation>&quot;%1&quot; fehlt oder ist keine 32-Bit-Ganzzahl</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_roles.cpp" line="50"/>
        <source>&quot;%1&quot; does not have the size &quot;%2&quot; says</source>
        <translation>&quot;%1&quot; hat nicht die Größe, die &quot;%2&quot; angibt</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_roles.cpp" line="86"/>
        <source>Cannot keep a backup of the role template</source>
        <translation>Es kann keine Sicherung der Rollenvorlage aufbewahrt werden</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_roles.cpp" line="113"/>
        <source>Cannot read the backups of the role template</source>
        <translation>Die Sicherungen der Rollenvorlage können nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_roles.cpp" line="158"/>
        <source>the role template %1 cannot be read: %2</source>
        <translation>die Rollenvorlage %1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_roles.cpp" line="208"/>
        <source>The stored roles cannot be read. The users were read, but no member&apos;s rights follow their roles, and the roles cannot be changed, until the role template is mended.

Store: %1.
Problem: %2.

An administrator can examine the store with:
%3</source>
        <translation>Die gespeicherten Rollen können nicht gelesen werden. Die Benutzer wurden gelesen, aber bis die Rollenvorlage repariert ist, folgen die Rechte keines Mitglieds seinen Rollen, und die Rollen können nicht geändert werden.

Speicher: %1.
Problem: %2.

Ein Administrator kann den Speicher prüfen mit:
%3</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_shared.cpp" line="23"/>
        <source>the shared user store (key &quot;%1&quot;)</source>
        <translation>der gemeinsame Benutzerspeicher (Schlüssel &quot;%1&quot;)</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_shared.cpp" line="25"/>
        <source>the shared user store &quot;%1&quot; (key &quot;%2&quot;)</source>
        <translation>der gemeinsame Benutzerspeicher &quot;%1&quot; (Schlüssel &quot;%2&quot;)</translation>
    </message>
    <message>
        <location filename="../security/store/userstore_shared.cpp" line="35"/>
        <source>the local copy of %1 in the registry database &quot;%2&quot;</source>
        <translation>die lokale Kopie von %1 in der Registrierungsdatenbank &quot;%2&quot;</translation>
    </message>
    <message>
        <location filename="../security/store/userstorebackend.cpp" line="92"/>
        <source>Invalid data type for &apos;%1&apos;</source>
        <translation>Ungültiger Datentyp für &apos;%1&apos;</translation>
    </message>
</context>
<context>
    <name>zkSecurity::WidgetSecurityUi</name>
    <message>
        <location filename="../dialogs/widgetsecurityui.cpp" line="98"/>
        <source>Change Password</source>
        <translation>Kennwort ändern</translation>
    </message>
    <message>
        <location filename="../dialogs/widgetsecurityui.cpp" line="99"/>
        <source>%1, your password must be changed before you go on.</source>
        <translation>%1, Ihr Kennwort muss geändert werden, bevor Sie weitermachen können.</translation>
    </message>
</context>
<context>
    <name>zkUserPasswordDlg::TdlgUserPassword</name>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="44"/>
        <source>Change Password</source>
        <translation>Kennwort ändern</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="49"/>
        <source>C&amp;urrent password</source>
        <translation>&amp;Bisheriges Kennwort</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="50"/>
        <source>&amp;New password</source>
        <translation>&amp;Neues Kennwort</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="51"/>
        <source>&amp;Retype new password</source>
        <translation>Neues Kennwort &amp;wiederholen</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="55"/>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="55"/>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="134"/>
        <source>The new password is invalid or the two do not agree. Please retype.</source>
        <translation>Das neue Kennwort ist ungültig, oder die beiden Eingaben stimmen nicht überein. Bitte erneut eingeben.</translation>
    </message>
    <message>
        <location filename="../dialogs/tdlguserpassword.cpp" line="138"/>
        <source>Invalid current or new password. Please retype.</source>
        <translation>Bisheriges oder neues Kennwort ungültig. Bitte erneut eingeben.</translation>
    </message>
</context>
</TS>
