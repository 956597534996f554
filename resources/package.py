#!/usr/bin/env python3
"""The resource package: its texts, its checks and its archive.

The tables below are the single source of the package's text files; the
files under resources/package/ are written from them ("write") and the build
verifies them byte for byte and by their rules ("check") before it stages the
package with the deployment's URLs ("stage"), zips it ("zip") and writes the
custom tag ("tag").

  package.py write  [--dir resources/package]
  package.py check  [--dir resources/package]
  package.py stage  --dir SRC --out DIR --download-host H --url-host H [--mirror-hosts H2,H3]
  package.py zip    --dir STAGED --out FILE
  package.py tag    --out FILE
"""

import argparse
import os
import shutil
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_DIR = os.path.join(HERE, "package")

# Language table: LCID (decimal) -> folder, in file order.
LANGUAGE_TABLE = [
    ("1033", "English"), ("1028", "ChineseTW"), ("1043", "Dutch"), ("1036", "French"),
    ("1031", "German"), ("1040", "Italian"), ("1041", "Japanese"), ("3082", "Spanish"),
    ("2070", "Portuguese"), ("1042", "Korean"),
]

# Folders in archive order.
LANGUAGES = ["ChineseTW", "Dutch", "English", "French", "German", "Italian", "Japanese",
             "Korean", "Portuguese", "Spanish"]

PRODUCT_INFO = [
    ("STR_GA_TTTLE", "Brisklane Pathwick"),
    ("STR_PRODUCT_NAME", "Brisklane Pathwick"),
    ("STR_DIR1_NAME", "Brisklane"),
    ("STR_DIR2_NAME", "Brisklane Pathwick"),
    ("STR_EXE_NAME", "Pathwick.exe"),
    ("STR_LISENCE_COLOR", "#68D1AB"),
    ("STR_BRAND_NAME", "Brisklane"),
    ("STR_RUN_AS_ADMIN", "1"),
]

TEXT_KEYS = [
    "STR_INSTALL", "STR_BROWSE", "STR_LISENCE", "STR_CUSTOMIZE_INSTALL", "STR_INSTALL_PATH",
    "STR_SELECT_FOLDER", "STR_STORAGE", "STR_PATH_INVALID", "STR_INSTALLING", "STR_HIDE",
    "STR_MESSAGEBOX_TITLE", "STR_NETWORK_ERROR", "STR_OPERATE_TIP", "STR_SOFT_RUN",
    "STR_CLOSE_TIP1", "STR_CLOSE_TIP2", "STR_START", "STR_VERIFY_FAILED", "STR_INSTALL_FAILED",
    "STR_START_FAILED", "STR_FREE_SPACE_FAILED", "STR_USAGE", "STR_DOWNLOAD_SPEED",
    "STR_DOWNLOAD_UNITS", "STR_NETWORK_WAITING", "STR_DISK_WRITE_FAILED", "STR_PROXY", "STR_USER",
    "STR_PASSWORD", "STR_REFUSED", "STR_OK", "STR_CANCEL",
    "STR_BANNER_1", "STR_BANNER_2", "STR_BANNER_3", "STR_BANNER_4",
]

NBSP = "\u00a0"

# Wide characters of the buffer through which the program reads a section.
SECTION_BUFFER = 4096

# The UI texts, in TEXT_KEYS order. PRODUCT, BRAND and COLOR are filled in by
# the program; the storage text ends with a blank before the number; the usage
# text writes its line breaks as a backslash and "n", which the program turns
# into line breaks. The speed line under the progress bar has the
# placeholders {done}, {total}, {rate} and {left} (sizes in MB, the rate in
# MB/s, the time left with its unit), in parts joined by " · " (the part with
# {left} is left out while the time is unknown); its units are
# "<decimal mark>|<seconds>|<minutes>|<hours>". The speed line says it waits
# for the network during an outage; the disk message has the placeholders
# {drive} (for example "C:") and {size} (the space needed, with its unit).
TEXTS = {
    "English": [
        "Install",
        "Browse",
        "I've read and agreed to {c COLOR}BRAND License Agreement{/c}",
        "Customize Installation",
        "Installation Path",
        "Select a location to install the program",
        "Insuficient storage. Storage required: ",
        "The installation path is invalid.",
        "Installing...",
        "Hide",
        "PRODUCT Setup",
        "Network error. Please check your network settings.",
        "Click Abort to cancel installation, Retry to try again, or Ignore to download via browser.",
        "PRODUCT is running. Continuing installation will forcely quit the program. Are you sure to install?",
        "Are you sure you want to quit?",
        "Installation is in progress. Are you sure you want to quit?",
        "Start" + NBSP + "Now",
        "The downloaded installer could not be verified and was not run.",
        "The installation of PRODUCT did not complete. Click Retry to download and run the "
        "installer again, or Cancel to quit.",
        "PRODUCT could not be started.",
        "The free space of the installation drive could not be read. Please choose another "
        "installation path.",
        "PRODUCT Setup options:\\n\\n"
        "/S – install silently: no window and no questions; the exit code tells the outcome.\\n"
        "/D=folder – installation folder; last on the line, without quotes.\\n"
        "/LANG=code – language, for example 1031.\\n"
        "/LOG=file – write the log to this file.\\n"
        "/NOANALYTICS – send no usage statistics.\\n"
        "/? or /HELP – show this help.",
        "{done} of {total} · {rate} · about {left} left",
        ".|s|min|h",
        "Waiting for the network…",
        "The download could not be written to disk {drive}. The disk may be full: the installation needs {size} of free space. Free some space, then click Retry.",
        "Sign in to the proxy server",
        "User name",
        "Password",
        "Sign-in refused. Please try again.",
        "OK",
        "Cancel",
    ],
    "German": [
        "Installieren",
        "Ändern",
        "Ich akzeptiere die {c COLOR}BRAND-Lizenzvereinbarung{/c}",
        "Installation anpassen",
        "Installationspfad",
        "Wählen Sie den Speicherort für die Installation des Programms aus",
        "Nicht genügend Speicherplatz. Benötigter Speicherplatz: ",
        "Der Installationspfad ist ungültig.",
        "Wird installiert...",
        "Ausblenden",
        "PRODUCT Setup",
        "Netzwerkfehler. Bitte überprüfen Sie Ihre Netzwerkeinstellungen.",
        "Klicken Sie auf „Abbrechen“, um die Installation abzubrechen, auf „Wiederholen“, um es erneut "
        "zu versuchen, oder auf „Ignorieren“, um die Datei über den Browser herunterzuladen.",
        "PRODUCT wird gerade ausgeführt. Wenn Sie die Installation fortsetzen, wird das Programm "
        "zwangsweise beendet. Möchten Sie die Installation wirklich fortsetzen?",
        "Möchten Sie das Setup wirklich beenden?",
        "Die Installation läuft noch. Möchten Sie das Setup wirklich beenden?",
        "Jetzt" + NBSP + "starten",
        "Das heruntergeladene Installationsprogramm konnte nicht überprüft werden und wurde nicht "
        "ausgeführt.",
        "Die Installation von PRODUCT wurde nicht abgeschlossen. Klicken Sie auf „Wiederholen“, "
        "um das Installationsprogramm erneut herunterzuladen und auszuführen, oder auf "
        "„Abbrechen“, um das Setup zu beenden.",
        "PRODUCT konnte nicht gestartet werden.",
        "Der freie Speicherplatz des Installationslaufwerks konnte nicht ermittelt werden. Bitte "
        "wählen Sie einen anderen Installationspfad.",
        "Optionen des Setups von PRODUCT:\\n\\n"
        "/S – unbeaufsichtigt installieren: kein Fenster, keine Fragen; der Exit-Code nennt das Ergebnis.\\n"
        "/D=Ordner – Installationsordner; als Letztes in der Zeile, ohne Anführungszeichen.\\n"
        "/LANG=Code – Sprache, zum Beispiel 1031.\\n"
        "/LOG=Datei – das Protokoll in diese Datei schreiben.\\n"
        "/NOANALYTICS – keine Nutzungsstatistiken senden.\\n"
        "/? oder /HELP – diese Hilfe anzeigen.",
        "{done} von {total} · {rate} · noch etwa {left}",
        ",|s|min|Std.",
        "Warten auf das Netzwerk…",
        "Der Download konnte nicht auf Laufwerk {drive} geschrieben werden. Das Laufwerk ist möglicherweise voll: Die Installation benötigt {size} freien Speicherplatz. Geben Sie Speicherplatz frei und klicken Sie dann auf „Wiederholen“.",
        "Am Proxyserver anmelden",
        "Benutzername",
        "Kennwort",
        "Anmeldung abgelehnt. Bitte erneut versuchen.",
        "OK",
        "Abbrechen",
    ],
    "French": [
        "Installer",
        "Parcourir",
        "J'ai lu et j'accepte le {c COLOR}contrat de licence BRAND{/c}",
        "Options d'installation",
        "Chemin d'installation",
        "Sélectionnez l'emplacement où installer le programme",
        "Espace de stockage insuffisant. Espace requis : ",
        "Le chemin d'installation n'est pas valide.",
        "Installation en cours...",
        "Masquer",
        "Installation de PRODUCT",
        "Erreur réseau. Veuillez vérifier vos paramètres réseau.",
        "Cliquez sur Abandonner pour annuler l'installation, sur Réessayer pour recommencer, ou sur "
        "Ignorer pour télécharger le fichier dans le navigateur.",
        "PRODUCT est en cours d'exécution. Si vous poursuivez l'installation, le programme sera fermé "
        "de force. Voulez-vous vraiment lancer l'installation ?",
        "Voulez-vous vraiment quitter ?",
        "L'installation est en cours. Voulez-vous vraiment quitter ?",
        "Démarrer",
        "Le programme d'installation téléchargé n'a pas pu être vérifié et n'a pas été exécuté.",
        "L'installation de PRODUCT n'a pas abouti. Cliquez sur Réessayer pour télécharger et "
        "exécuter à nouveau le programme d'installation, ou sur Annuler pour quitter.",
        "Impossible de démarrer PRODUCT.",
        "Impossible de déterminer l'espace libre du lecteur d'installation. Veuillez choisir un "
        "autre chemin d'installation.",
        "Options de l'installation de PRODUCT :\\n\\n"
        "/S – installation silencieuse : aucune fenêtre, aucune question ; le code de sortie indique le résultat.\\n"
        "/D=dossier – dossier d'installation ; en dernier sur la ligne, sans guillemets.\\n"
        "/LANG=code – langue, par exemple 1036.\\n"
        "/LOG=fichier – écrire le journal dans ce fichier.\\n"
        "/NOANALYTICS – n'envoyer aucune statistique d'utilisation.\\n"
        "/? ou /HELP – afficher cette aide.",
        "{done} sur {total} · {rate} · encore environ {left}",
        ",|s|min|h",
        "En attente du réseau…",
        "Le téléchargement n'a pas pu être écrit sur le disque {drive}. Le disque est peut-être plein : l'installation nécessite {size} d'espace libre. Libérez de l'espace, puis cliquez sur Réessayer.",
        "Connexion au serveur proxy",
        "Nom d'utilisateur",
        "Mot de passe",
        "Connexion refusée. Veuillez réessayer.",
        "OK",
        "Annuler",
    ],
    "Spanish": [
        "Instalar",
        "Examinar",
        "He leído y acepto el {c COLOR}Contrato de licencia de BRAND{/c}",
        "Personalizar instalación",
        "Ruta de instalación",
        "Seleccione una ubicación para instalar el programa",
        "Espacio de almacenamiento insuficiente. Espacio necesario: ",
        "La ruta de instalación no es válida.",
        "Instalando...",
        "Ocultar",
        "Instalación de PRODUCT",
        "Error de red. Compruebe la configuración de red.",
        "Haga clic en Anular para cancelar la instalación, en Reintentar para volver a intentarlo o en "
        "Omitir para descargarlo con el navegador.",
        "PRODUCT se está ejecutando. Si continúa con la instalación, el programa se cerrará de forma "
        "forzada. ¿Seguro que desea instalar?",
        "¿Seguro que desea salir?",
        "La instalación está en curso. ¿Seguro que desea salir?",
        "Iniciar" + NBSP + "ahora",
        "No se pudo verificar el instalador descargado y no se ha ejecutado.",
        "La instalación de PRODUCT no se completó. Haga clic en Reintentar para volver a "
        "descargar y ejecutar el instalador, o en Cancelar para salir.",
        "No se pudo iniciar PRODUCT.",
        "No se pudo leer el espacio libre de la unidad de instalación. Elija otra ruta de "
        "instalación.",
        "Opciones de la instalación de PRODUCT:\\n\\n"
        "/S – instalación silenciosa: sin ventana ni preguntas; el código de salida indica el resultado.\\n"
        "/D=carpeta – carpeta de instalación; al final de la línea, sin comillas.\\n"
        "/LANG=código – idioma, por ejemplo 3082.\\n"
        "/LOG=archivo – escribir el registro en este archivo.\\n"
        "/NOANALYTICS – no enviar estadísticas de uso.\\n"
        "/? o /HELP – mostrar esta ayuda.",
        "{done} de {total} · {rate} · quedan unos {left}",
        ",|s|min|h",
        "Esperando a la red…",
        "No se pudo escribir la descarga en el disco {drive}. Es posible que el disco esté lleno: la instalación necesita {size} de espacio libre. Libere espacio y haga clic en Reintentar.",
        "Iniciar sesión en el servidor proxy",
        "Nombre de usuario",
        "Contraseña",
        "Inicio de sesión rechazado. Inténtelo de nuevo.",
        "Aceptar",
        "Cancelar",
    ],
    "Italian": [
        "Installa",
        "Sfoglia",
        "Ho letto e accetto il {c COLOR}Contratto di licenza di BRAND{/c}",
        "Opzioni di installazione",
        "Destinazione",
        "Seleziona il percorso in cui installare il programma",
        "Spazio di archiviazione insufficiente. Spazio richiesto: ",
        "Il percorso di installazione non è valido.",
        "Installazione in corso...",
        "Nascondi",
        "Installazione di PRODUCT",
        "Errore di rete. Controlla le impostazioni di rete.",
        "Fai clic su Interrompi per annullare l'installazione, su Riprova per riprovare o su Ignora per "
        "scaricare il file tramite il browser.",
        "PRODUCT è in esecuzione. Continuando l'installazione, il programma verrà chiuso forzatamente. "
        "Vuoi davvero procedere con l'installazione?",
        "Vuoi davvero uscire?",
        "L'installazione è in corso. Vuoi davvero uscire?",
        "Avvia" + NBSP + "ora",
        "Non è stato possibile verificare il programma di installazione scaricato, che non è "
        "stato eseguito.",
        "L'installazione di PRODUCT non è stata completata. Fai clic su Riprova per scaricare ed "
        "eseguire di nuovo il programma di installazione o su Annulla per uscire.",
        "Impossibile avviare PRODUCT.",
        "Impossibile leggere lo spazio libero dell'unità di installazione. Scegli un altro "
        "percorso di installazione.",
        "Opzioni dell'installazione di PRODUCT:\\n\\n"
        "/S – installazione invisibile: nessuna finestra e nessuna domanda; il codice di uscita indica l'esito.\\n"
        "/D=cartella – cartella di installazione; ultima nella riga, senza virgolette.\\n"
        "/LANG=codice – lingua, ad esempio 1040.\\n"
        "/LOG=file – scrivi il registro in questo file.\\n"
        "/NOANALYTICS – non inviare statistiche di utilizzo.\\n"
        "/? o /HELP – mostra questa guida.",
        "{done} di {total} · {rate} · circa {left} rimanenti",
        ",|s|min|h",
        "In attesa della rete…",
        "Impossibile scrivere il download sul disco {drive}. Il disco potrebbe essere pieno: l'installazione richiede {size} di spazio libero. Libera spazio, quindi fai clic su Riprova.",
        "Accesso al server proxy",
        "Nome utente",
        "Password",
        "Accesso rifiutato. Riprova.",
        "OK",
        "Annulla",
    ],
    "Dutch": [
        "Installeren",
        "Bladeren",
        "Ik accepteer de {c COLOR}BRAND-licentieovereenkomst{/c}",
        "Installatie aanpassen",
        "Installatiepad",
        "Selecteer een locatie om het programma te installeren",
        "Onvoldoende opslagruimte. Benodigde opslagruimte: ",
        "Het installatiepad is ongeldig.",
        "Bezig met installeren...",
        "Verbergen",
        "Installatie van PRODUCT",
        "Netwerkfout. Controleer uw netwerkinstellingen.",
        "Klik op Afbreken om de installatie te annuleren, op Opnieuw om het opnieuw te proberen of op "
        "Negeren om het bestand via de browser te downloaden.",
        "PRODUCT is actief. Als u doorgaat met de installatie, wordt het programma geforceerd "
        "afgesloten. Weet u zeker dat u wilt installeren?",
        "Weet u zeker dat u wilt afsluiten?",
        "De installatie is bezig. Weet u zeker dat u wilt afsluiten?",
        "Nu" + NBSP + "starten",
        "Het gedownloade installatieprogramma kon niet worden geverifieerd en is niet uitgevoerd.",
        "De installatie van PRODUCT is niet voltooid. Klik op Opnieuw om het installatieprogramma "
        "opnieuw te downloaden en uit te voeren, of op Annuleren om af te sluiten.",
        "PRODUCT kan niet worden gestart.",
        "De vrije ruimte van het installatiestation kan niet worden gelezen. Kies een ander "
        "installatiepad.",
        "Opties van de installatie van PRODUCT:\\n\\n"
        "/S – stil installeren: geen venster en geen vragen; de afsluitcode geeft het resultaat.\\n"
        "/D=map – installatiemap; als laatste op de regel, zonder aanhalingstekens.\\n"
        "/LANG=code – taal, bijvoorbeeld 1043.\\n"
        "/LOG=bestand – het logboek naar dit bestand schrijven.\\n"
        "/NOANALYTICS – geen gebruiksstatistieken verzenden.\\n"
        "/? of /HELP – deze hulp weergeven.",
        "{done} van {total} · {rate} · nog ongeveer {left}",
        ",|s|min|u",
        "Wachten op het netwerk…",
        "De download kon niet naar schijf {drive} worden geschreven. De schijf is mogelijk vol: de installatie heeft {size} vrije ruimte nodig. Maak ruimte vrij en klik op Opnieuw.",
        "Aanmelden bij de proxyserver",
        "Gebruikersnaam",
        "Wachtwoord",
        "Aanmelding geweigerd. Probeer het opnieuw.",
        "OK",
        "Annuleren",
    ],
    "Portuguese": [
        "Instalar",
        "Procurar",
        "Li e aceito o {c COLOR}Contrato de Licença da BRAND{/c}",
        "Personalizar instalação",
        "Pasta de destino",
        "Selecione uma localização para instalar o programa",
        "Espaço de armazenamento insuficiente. Espaço necessário: ",
        "O caminho de instalação é inválido.",
        "A instalar...",
        "Ocultar",
        "Instalação do PRODUCT",
        "Erro de rede. Verifique as definições de rede.",
        "Clique em Abortar para cancelar a instalação, em Repetir para tentar novamente ou em Ignorar "
        "para transferir o ficheiro através do browser.",
        "O PRODUCT está em execução. Se continuar a instalação, o programa será fechado à força. Tem a "
        "certeza de que pretende instalar?",
        "Tem a certeza de que pretende sair?",
        "A instalação está em curso. Tem a certeza de que pretende sair?",
        "Iniciar" + NBSP + "agora",
        "Não foi possível verificar o instalador transferido, pelo que não foi executado.",
        "A instalação do PRODUCT não foi concluída. Clique em Repetir para transferir e executar "
        "novamente o instalador ou em Cancelar para sair.",
        "Não foi possível iniciar o PRODUCT.",
        "Não foi possível ler o espaço livre da unidade de instalação. Escolha outro caminho de "
        "instalação.",
        "Opções da instalação do PRODUCT:\\n\\n"
        "/S – instalação silenciosa: sem janela nem perguntas; o código de saída indica o resultado.\\n"
        "/D=pasta – pasta de instalação; no fim da linha, sem aspas.\\n"
        "/LANG=código – idioma, por exemplo 2070.\\n"
        "/LOG=ficheiro – escrever o registo neste ficheiro.\\n"
        "/NOANALYTICS – não enviar estatísticas de utilização.\\n"
        "/? ou /HELP – mostrar esta ajuda.",
        "{done} de {total} · {rate} · faltam cerca de {left}",
        ",|s|min|h",
        "A aguardar pela rede…",
        "Não foi possível gravar a transferência no disco {drive}. O disco pode estar cheio: a instalação precisa de {size} de espaço livre. Liberte espaço e clique em Repetir.",
        "Iniciar sessão no servidor proxy",
        "Nome de utilizador",
        "Palavra-passe",
        "Início de sessão recusado. Tente novamente.",
        "OK",
        "Cancelar",
    ],
    "Japanese": [
        "インストール",
        "参照",
        "{c COLOR}BRAND 使用許諾契約{/c}を読み、同意しました",
        "カスタムインストール",
        "インストール先",
        "プログラムをインストールする場所を選択してください",
        "ディスクの空き容量が不足しています。必要な容量: ",
        "インストール先のパスが無効です。",
        "インストールしています...",
        "非表示",
        "PRODUCT セットアップ",
        "ネットワーク エラーが発生しました。ネットワーク設定を確認してください。",
        "インストールを取り消すには [中止]、もう一度試すには [再試行]、ブラウザーでダウンロードするには "
        "[無視] をクリックしてください。",
        "PRODUCT は実行中です。インストールを続行すると、プログラムは強制終了されます。インストールしてもよろしいですか?",
        "終了してもよろしいですか?",
        "インストール中です。終了してもよろしいですか?",
        "今すぐ起動",
        "ダウンロードしたインストーラーを検証できなかったため、実行しませんでした。",
        "PRODUCT のインストールが完了しませんでした。インストーラーをもう一度ダウンロードして実行するには [再試行]、終了するには [キャンセル] をクリックしてください。",
        "PRODUCT を起動できませんでした。",
        "インストール先ドライブの空き容量を取得できませんでした。別のインストール先を選択してください。",
        "PRODUCT セットアップのオプション:\\n\\n"
        "/S – サイレント インストール: ウィンドウも確認も表示せず、結果を終了コードで示します。\\n"
        "/D=フォルダー – インストール先フォルダー。行の最後に引用符なしで指定します。\\n"
        "/LANG=コード – 言語 (例: 1041)。\\n"
        "/LOG=ファイル – ログをこのファイルに書き込みます。\\n"
        "/NOANALYTICS – 利用統計を送信しません。\\n"
        "/? または /HELP – このヘルプを表示します。",
        "{done} / {total} · {rate} · 残り約 {left}",
        ".|秒|分|時間",
        "ネットワークを待っています…",
        "ダウンロードをディスク {drive} に書き込めませんでした。ディスクがいっぱいの可能性があります。インストールには {size} の空き領域が必要です。空き領域を確保してから [再試行] をクリックしてください。",
        "プロキシ サーバーへのサインイン",
        "ユーザー名",
        "パスワード",
        "サインインが拒否されました。もう一度お試しください。",
        "OK",
        "キャンセル",
    ],
    "Korean": [
        "설치",
        "찾아보기",
        "{c COLOR}BRAND 라이선스 계약{/c}을 읽었으며 이에 동의합니다",
        "사용자 지정 설치",
        "설치 경로",
        "프로그램을 설치할 위치를 선택하세요",
        "저장 공간이 부족합니다. 필요한 공간: ",
        "설치 경로가 올바르지 않습니다.",
        "설치 중...",
        "숨기기",
        "PRODUCT 설치",
        "네트워크 오류가 발생했습니다. 네트워크 설정을 확인하세요.",
        "설치를 취소하려면 [중단], 다시 시도하려면 [다시 시도], 브라우저로 다운로드하려면 [무시]를 클릭하세요.",
        "PRODUCT이(가) 실행 중입니다. 설치를 계속하면 프로그램이 강제로 종료됩니다. 설치하시겠습니까?",
        "종료하시겠습니까?",
        "설치가 진행 중입니다. 종료하시겠습니까?",
        "지금" + NBSP + "시작",
        "다운로드한 설치 프로그램을 확인할 수 없어 실행하지 않았습니다.",
        "PRODUCT 설치가 완료되지 않았습니다. 설치 프로그램을 다시 다운로드하여 실행하려면 [다시 시도], 종료하려면 [취소]를 클릭하세요.",
        "PRODUCT을(를) 시작할 수 없습니다.",
        "설치 드라이브의 여유 공간을 확인할 수 없습니다. 다른 설치 경로를 선택하세요.",
        "PRODUCT 설치 옵션:\\n\\n"
        "/S – 자동 설치: 창과 질문 없이 설치하며 종료 코드로 결과를 알립니다.\\n"
        "/D=폴더 – 설치 폴더. 줄의 마지막에 따옴표 없이 지정합니다.\\n"
        "/LANG=코드 – 언어(예: 1042).\\n"
        "/LOG=파일 – 이 파일에 로그를 씁니다.\\n"
        "/NOANALYTICS – 사용 통계를 보내지 않습니다.\\n"
        "/? 또는 /HELP – 이 도움말을 표시합니다.",
        "{done} / {total} · {rate} · 약 {left} 남음",
        ".|초|분|시간",
        "네트워크를 기다리는 중…",
        "다운로드를 디스크 {drive}에 쓸 수 없습니다. 디스크가 가득 찼을 수 있습니다. 설치에는 {size}의 여유 공간이 필요합니다. 공간을 확보한 후 [다시 시도]를 클릭하세요.",
        "프록시 서버에 로그인",
        "사용자 이름",
        "암호",
        "로그인이 거부되었습니다. 다시 시도하십시오.",
        "확인",
        "취소",
    ],
    "ChineseTW": [
        "安裝",
        "瀏覽",
        "我已閱讀並同意{c COLOR}BRAND 授權合約{/c}",
        "自訂安裝",
        "安裝路徑",
        "選擇程式的安裝位置",
        "儲存空間不足。所需空間: ",
        "安裝路徑無效。",
        "正在安裝...",
        "隱藏",
        "PRODUCT 安裝程式",
        "網路錯誤，請檢查您的網路設定。",
        "按一下 [中止] 取消安裝、按一下 [重試] 再試一次，或按一下 [略過] 改用瀏覽器下載。",
        "PRODUCT 正在執行。繼續安裝將強制結束該程式，確定要安裝嗎？",
        "確定要結束嗎？",
        "正在進行安裝，確定要結束嗎？",
        "立即啟動",
        "無法驗證下載的安裝程式，因此未執行。",
        "PRODUCT 安裝未完成。按一下 [重試] 重新下載並執行安裝程式，或按一下 [取消] 結束。",
        "無法啟動 PRODUCT。",
        "無法讀取安裝磁碟機的可用空間，請選擇其他安裝路徑。",
        "PRODUCT 安裝程式選項：\\n\\n"
        "/S – 無訊息安裝：不顯示視窗也不詢問；以結束代碼表示結果。\\n"
        "/D=資料夾 – 安裝資料夾；放在命令列最後，不加引號。\\n"
        "/LANG=代碼 – 語言，例如 1028。\\n"
        "/LOG=檔案 – 將記錄寫入此檔案。\\n"
        "/NOANALYTICS – 不傳送使用統計資料。\\n"
        "/? 或 /HELP – 顯示此說明。",
        "{done} / {total} · {rate} · 剩餘約 {left}",
        ".|秒|分鐘|小時",
        "正在等待網路…",
        "無法將下載內容寫入磁碟 {drive}。磁碟可能已滿：安裝需要 {size} 的可用空間。請釋放空間後按一下 [重試]。",
        "登入 Proxy 伺服器",
        "使用者名稱",
        "密碼",
        "登入遭拒，請再試一次。",
        "確定",
        "取消",
    ],
}

# The headline of each banner (pr_1.png to pr_4.png), drawn by the installer
# over the picture (resources/banners.py draws the pictures without it): the
# last four texts, STR_BANNER_1 to STR_BANNER_4.
BANNER_HEADLINES = {
    "English": ["Plan every route with ease", "Your maps, even offline",
                "Share trips in one click", "Fast, light, always up to date"],
    "German": ["Jede Route mühelos planen", "Ihre Karten – auch offline",
               "Reisen mit einem Klick teilen", "Schnell, schlank, immer aktuell"],
    "French": ["Planifiez chaque itinéraire sans effort", "Vos cartes, même hors ligne",
               "Partagez vos trajets en un clic", "Rapide, léger, toujours à jour"],
    "Spanish": ["Planifica cada ruta sin esfuerzo", "Tus mapas, incluso sin conexión",
                "Comparte viajes con un clic", "Rápido, ligero y siempre al día"],
    "Italian": ["Pianifica ogni percorso con facilità", "Le tue mappe, anche offline",
                "Condividi i viaggi con un clic", "Veloce, leggero, sempre aggiornato"],
    "Dutch": ["Plan elke route moeiteloos", "Je kaarten, ook offline",
              "Deel reizen met één klik", "Snel, licht en altijd actueel"],
    "Portuguese": ["Planeie cada percurso com facilidade", "Os seus mapas, mesmo offline",
                   "Partilhe viagens com um clique", "Rápido, leve e sempre atualizado"],
    "Japanese": ["あらゆるルートを簡単に計画", "オフラインでも使える地図",
                 "ワンクリックで旅を共有", "高速・軽量・常に最新"],
    "Korean": ["모든 경로를 손쉽게 계획하세요", "오프라인에서도 지도를 사용하세요",
               "클릭 한 번으로 여행 공유", "빠르고 가볍고 항상 최신"],
    "ChineseTW": ["輕鬆規劃每一條路線", "離線也能使用地圖", "一鍵分享旅程", "快速、輕巧、隨時更新"],
}
for _lang, _headlines in BANNER_HEADLINES.items():
    TEXTS[_lang] = TEXTS[_lang] + _headlines

# Keys whose every translation carries the placeholders and the colour tag.
REQUIRED_MARKS = {
    "STR_LISENCE": ["{c COLOR}", "{/c}", "BRAND"],
    "STR_MESSAGEBOX_TITLE": ["PRODUCT"],
    "STR_SOFT_RUN": ["PRODUCT"],
    "STR_INSTALL_FAILED": ["PRODUCT"],
    "STR_START_FAILED": ["PRODUCT"],
    # The switches are the same in every language.
    "STR_USAGE": ["PRODUCT", "/S ", "/D=", "/LANG=", "/LOG=", "/NOANALYTICS", "/?", "/HELP", "\\n"],
    "STR_DOWNLOAD_SPEED": ["{done}", "{total}", "{rate}", "{left}"],
}

URL_KEYS = ["STR_DOWN_URL", "STR_DOWN_URL_X64", "STR_LICENCE_URL", "STR_INSTALL_URL"]
# Optional, after them: up to two mirrors of STR_DOWN_URL, in the order tried.
MIRROR_KEYS = ["STR_DOWN_URL_2", "STR_DOWN_URL_3"]
BANNERS = ["pr_1.png", "pr_2.png", "pr_3.png", "pr_4.png"]
BANNER_SIZE = (650, 290)
BANNER_LIMIT = 60 * 1024


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def ini_lines(section, pairs):
    return ["[%s]" % section] + ["%s=%s" % (k, v) for k, v in pairs]


def utf16_file(lines):
    return b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le")


def expected_files():
    """Relative path -> bytes of every text file kept in the source tree."""
    files = {
        "language.ini": ("\r\n".join(ini_lines("Language", LANGUAGE_TABLE)) + "\r\n").encode("ascii"),
        "productInfo.ini": utf16_file(ini_lines("PRODUCT", PRODUCT_INFO)),
    }
    for lang in LANGUAGES:
        files[lang + "/text.ini"] = utf16_file(ini_lines("LANSTR", zip(TEXT_KEYS, TEXTS[lang])))
    return files


def download_url(host):
    return "https://%s/pathwick/brisklane-pathwick.exe" % host


def url_file(lang, download_host, url_host, mirror_hosts=()):
    download = download_url(download_host)
    pairs = [
        ("STR_DOWN_URL", download),
        ("STR_DOWN_URL_X64", download),
        ("STR_LICENCE_URL", "https://%s/producturl?key=license_agreement&pid=380&lang=%s" % (url_host, lang)),
        ("STR_INSTALL_URL", "https://%s/producturl?key=installed&pid=380&lang=%s" % (url_host, lang)),
    ]
    pairs += [(key, download_url(host)) for key, host in zip(MIRROR_KEYS, mirror_hosts)]
    return utf16_file(ini_lines("URL", pairs))


def check_url_pairs(pairs, where):
    """The four HTTPS URLs, then at most two HTTPS mirrors of another URL each."""
    problems = []
    keys = [k for k, _ in pairs]
    mirrors = keys[len(URL_KEYS):]
    if keys[:len(URL_KEYS)] != URL_KEYS or mirrors != MIRROR_KEYS[:len(mirrors)] or \
            any(not v.startswith("https://") for _, v in pairs):
        problems.append("%s: needs the four HTTPS URLs, then at most %s as HTTPS URLs"
                        % (where, " and ".join(MIRROR_KEYS)))
    values = [v for _, v in pairs]
    downloads = [values[0]] + values[len(URL_KEYS):]
    if len(set(downloads)) != len(downloads):
        problems.append("%s: a mirror repeats another download URL" % where)
    return problems


def parse_utf16_ini(data, where):
    """Checks the byte form of a UTF-16 INI file; returns (section, [(k, v)])."""
    problems = []
    if not data.startswith(b"\xff\xfe"):
        problems.append("%s: no UTF-16LE byte-order mark" % where)
        return None, [], problems
    text = data[2:].decode("utf-16-le")
    body = text[:-2] if text.endswith("\r\n") else text
    lines = body.split("\r\n")
    for line in lines:
        if "\r" in line or "\n" in line:
            problems.append("%s: a line end other than CR LF" % where)
    if not lines or not (lines[0].startswith("[") and lines[0].endswith("]")):
        problems.append("%s: does not start with a section header" % where)
        return None, [], problems
    pairs = []
    for line in lines[1:]:
        if "=" not in line:
            problems.append("%s: line without '=': %r" % (where, line))
            continue
        k, v = line.split("=", 1)
        pairs.append((k, v))
    return lines[0][1:-1], pairs, problems


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def check_texts():
    """Rules of the tables themselves."""
    problems = []
    for lang in LANGUAGES:
        values = TEXTS.get(lang)
        if values is None or len(values) != len(TEXT_KEYS):
            problems.append("%s: needs %d texts" % (lang, len(TEXT_KEYS)))
            continue
        for key, value in zip(TEXT_KEYS, values):
            if not value.strip():
                problems.append("%s %s: empty" % (lang, key))
            if "\r" in value or "\n" in value or "\0" in value:
                problems.append("%s %s: line break in a value" % (lang, key))
            for mark in REQUIRED_MARKS.get(key, []):
                if mark not in value:
                    problems.append("%s %s: lacks %r" % (lang, key, mark))
            if key != "STR_LISENCE" and "{c" in value:
                problems.append("%s %s: colour tag outside the licence text" % (lang, key))
        if not values[TEXT_KEYS.index("STR_STORAGE")].endswith(" "):
            problems.append("%s STR_STORAGE: must end with a blank" % lang)
        # The program reads the section through one buffer; what does not fit
        # is cut off, keys and all.
        block = sum(len(k) + len(v) + 2 for k, v in zip(TEXT_KEYS, values)) + 1
        if block > SECTION_BUFFER:
            problems.append("%s: the texts take %d characters, the section buffer holds %d"
                            % (lang, block, SECTION_BUFFER))
        units = values[TEXT_KEYS.index("STR_DOWNLOAD_UNITS")].split("|")
        if len(units) != 4 or units[0] not in (".", ",") or not all(units[1:]):
            problems.append("%s STR_DOWNLOAD_UNITS: needs <. or ,>|<s>|<min>|<h>" % lang)
    english = TEXTS["English"]
    if english[TEXT_KEYS.index("STR_START")] != "Start\u00a0Now":
        problems.append("English STR_START: must join Start and Now with a no-break space")
    if "BRAND-Lizenzvereinbarung" not in TEXTS["German"][TEXT_KEYS.index("STR_LISENCE")]:
        problems.append("German STR_LISENCE: must read BRAND-Lizenzvereinbarung")
    return problems


def check_dir(folder, staged=False):
    problems = check_texts()
    for rel, data in expected_files().items():
        path = os.path.join(folder, rel)
        if not os.path.isfile(path):
            problems.append("%s: missing" % rel)
            continue
        actual = read_bytes(path)
        if rel.endswith(".ini") and rel != "language.ini":
            section, pairs, more = parse_utf16_ini(actual, rel)
            problems += more
            if rel.endswith("text.ini") and [k for k, _ in pairs] != TEXT_KEYS:
                problems.append("%s: keys not in the order %s" % (rel, ", ".join(TEXT_KEYS)))
        elif rel == "language.ini":
            if b"\n" in actual.replace(b"\r\n", b"") or any(b > 0x7F for b in actual):
                problems.append("language.ini: must be ASCII with CR LF line ends")
        if actual != data:
            problems.append("%s: differs from the tables in package.py (run: package.py write)" % rel)
    for lang in LANGUAGES:
        for name in BANNERS:
            path = os.path.join(folder, lang, name)
            if not os.path.isfile(path):
                problems.append("%s/%s: missing" % (lang, name))
                continue
            data = read_bytes(path)
            if png_size(data) != BANNER_SIZE:
                problems.append("%s/%s: not a %dx%d PNG" % ((lang, name) + BANNER_SIZE))
            if len(data) > BANNER_LIMIT:
                problems.append("%s/%s: %d bytes, above %d" % (lang, name, len(data), BANNER_LIMIT))
        if staged:
            path = os.path.join(folder, lang, "UrlInfo.ini")
            if not os.path.isfile(path):
                problems.append("%s/UrlInfo.ini: missing" % lang)
                continue
            _, pairs, more = parse_utf16_ini(read_bytes(path), lang + "/UrlInfo.ini")
            problems += more
            problems += check_url_pairs(pairs, lang + "/UrlInfo.ini")
    return problems


def package_entries(folder):
    """(archive name, path or None for a folder) in archive order."""
    entries = [("language.ini", os.path.join(folder, "language.ini")),
               ("productInfo.ini", os.path.join(folder, "productInfo.ini"))]
    for lang in LANGUAGES:
        entries.append((lang + "/", None))
        for name in ["text.ini", "UrlInfo.ini"] + BANNERS:
            entries.append((lang + "/" + name, os.path.join(folder, lang, name)))
    return entries


def write_zip(folder, out):
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w") as archive:
        for name, path in package_entries(folder):
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.create_system = 0      # MS-DOS attributes
            if path is None:
                info.external_attr = 0x10
                archive.writestr(info, b"")
                continue
            info.external_attr = 0x20
            # Images are compressed already; the text files deflate well.
            info.compress_type = zipfile.ZIP_STORED if name.endswith(".png") else zipfile.ZIP_DEFLATED
            archive.writestr(info, read_bytes(path))
    os.replace(tmp, out)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["write", "check", "stage", "zip", "tag"])
    parser.add_argument("--dir", default=DEFAULT_DIR)
    parser.add_argument("--out")
    parser.add_argument("--download-host")
    parser.add_argument("--url-host")
    parser.add_argument("--mirror-hosts", default="", help="up to two hosts, comma-separated")
    args = parser.parse_args()

    if args.command == "write":
        problems = check_texts()
        if problems:
            print("\n".join(problems), file=sys.stderr)
            return 1
        for rel, data in expected_files().items():
            path = os.path.join(args.dir, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        return 0

    mirrors = [h for h in args.mirror_hosts.split(",") if h]
    if len(mirrors) > len(MIRROR_KEYS):
        print("package: at most %d mirror hosts" % len(MIRROR_KEYS), file=sys.stderr)
        return 1

    if args.command == "check":
        problems = check_dir(args.dir)
    elif args.command == "stage":
        problems = check_dir(args.dir)
        if not problems:
            if os.path.isdir(args.out):
                shutil.rmtree(args.out)
            os.makedirs(args.out)
            for name, path in package_entries(args.dir):
                target = os.path.join(args.out, name)
                if path is None:
                    os.makedirs(target, exist_ok=True)
                elif name.endswith("UrlInfo.ini"):
                    with open(target, "wb") as f:
                        f.write(url_file(name.split("/")[0], args.download_host, args.url_host, mirrors))
                else:
                    shutil.copyfile(path, target)
            problems = check_dir(args.out, staged=True)
    elif args.command == "zip":
        problems = check_dir(args.dir, staged=True)
        if not problems:
            write_zip(args.dir, args.out)
    else:  # tag
        with open(args.out, "wb") as f:
            f.write(b"com_english\r\n")
        problems = []

    if problems:
        print("package: " + "\npackage: ".join(problems), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
