-- The song database of Kelvar (Firebird 3, UTF8).
-- One statement per semicolon at a line end; no colons or percent signs in the text (the
-- script runner reads them as parameters and macros).
-- Dates that the rotation compares are never NULL, an old default keeps a song eligible.

-- The media library
CREATE TABLE songlist (
  ID INTEGER NOT NULL,
  filename VARCHAR(500) DEFAULT '' NOT NULL,
  status INTEGER DEFAULT 0 NOT NULL,
  songtype CHAR(1) DEFAULT 'S' NOT NULL,
  artist VARCHAR(255) DEFAULT '',
  title VARCHAR(255) DEFAULT '',
  album VARCHAR(255) DEFAULT '',
  albumyear VARCHAR(20) DEFAULT '',
  genre VARCHAR(100) DEFAULT '',
  info VARCHAR(2000) DEFAULT '',
  trackno VARCHAR(20) DEFAULT '',
  label VARCHAR(255) DEFAULT '',
  pline VARCHAR(255) DEFAULT '',
  composer VARCHAR(255) DEFAULT '',
  ISRC VARCHAR(40) DEFAULT '',
  catalog VARCHAR(100) DEFAULT '',
  UPC VARCHAR(40) DEFAULT '',
  feeagency VARCHAR(100) DEFAULT '',
  website VARCHAR(255) DEFAULT '',
  buycd VARCHAR(255) DEFAULT '',
  lyrics BLOB SUB_TYPE TEXT,
  picture VARCHAR(255) DEFAULT '',
  xfade VARCHAR(100) DEFAULT '',
  BPM VARCHAR(20) DEFAULT '',
  Mood VARCHAR(100) DEFAULT '',
  Rating VARCHAR(20) DEFAULT '',
  Overlay VARCHAR(20) DEFAULT '',
  SongRights VARCHAR(100) DEFAULT '',
  duration INTEGER DEFAULT -1 NOT NULL,
  date_added TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL,
  weight DOUBLE PRECISION DEFAULT 65 NOT NULL,
  balance DOUBLE PRECISION DEFAULT 0 NOT NULL,
  date_played TIMESTAMP DEFAULT '2000-01-01' NOT NULL,
  date_artist_played TIMESTAMP DEFAULT '2000-01-01' NOT NULL,
  date_album_played TIMESTAMP DEFAULT '2000-01-01' NOT NULL,
  date_title_played TIMESTAMP DEFAULT '2000-01-01' NOT NULL,
  count_played INTEGER DEFAULT 0 NOT NULL,
  count_performances INTEGER DEFAULT 0 NOT NULL,
  count_requested INTEGER DEFAULT 0 NOT NULL,
  playlimit_count INTEGER DEFAULT 0 NOT NULL,
  playlimit_action VARCHAR(10) DEFAULT 'none' NOT NULL,
  CONSTRAINT PK_songlist PRIMARY KEY (ID)
);
CREATE SEQUENCE GEN_songlist_ID;
CREATE INDEX IDX_songlist_filename ON songlist (filename);
CREATE INDEX IDX_songlist_status ON songlist (status);
CREATE INDEX IDX_songlist_songtype ON songlist (songtype);
CREATE INDEX IDX_songlist_artist ON songlist (artist);
CREATE INDEX IDX_songlist_balance ON songlist (balance);
CREATE INDEX IDX_songlist_weight ON songlist (weight);
CREATE INDEX IDX_songlist_date_played ON songlist (date_played);
CREATE INDEX IDX_songlist_date_artist ON songlist (date_artist_played);
CREATE INDEX IDX_songlist_date_album ON songlist (date_album_played);
CREATE INDEX IDX_songlist_date_title ON songlist (date_title_played);
-- Category song selection orders by these the other way round.
CREATE DESCENDING INDEX IDX_songlist_weight_desc ON songlist (weight);
CREATE DESCENDING INDEX IDX_songlist_date_desc ON songlist (date_played);
CREATE DESCENDING INDEX IDX_songlist_date_artist_desc ON songlist (date_artist_played);
-- The weighted rotation reads the songs of one balance heaviest first along this one.
CREATE DESCENDING INDEX IDX_songlist_balance_weight ON songlist (balance, weight);
-- Play-limit maintenance reads the few songs with a limit along this one.
CREATE INDEX IDX_songlist_playlimit ON songlist (playlimit_count);

-- User categories of the category tree (built-in ones are not stored)
CREATE TABLE category (
  ID INTEGER NOT NULL,
  parentID INTEGER DEFAULT 0 NOT NULL,
  name VARCHAR(255) DEFAULT '' NOT NULL,
  levelindex INTEGER DEFAULT 1 NOT NULL,
  itemindex INTEGER DEFAULT 0 NOT NULL,
  CONSTRAINT PK_category PRIMARY KEY (ID)
);
CREATE SEQUENCE GEN_category_ID;
CREATE INDEX IDX_category_parent ON category (parentID, itemindex);

-- Songs of the user categories, in order
CREATE TABLE categorylist (
  ID INTEGER NOT NULL,
  songID INTEGER NOT NULL,
  categoryID INTEGER NOT NULL,
  sortID DOUBLE PRECISION DEFAULT 0 NOT NULL,
  CONSTRAINT PK_categorylist PRIMARY KEY (ID)
);
CREATE SEQUENCE GEN_categorylist_ID;
CREATE INDEX IDX_categorylist_category ON categorylist (categoryID, sortID);
CREATE INDEX IDX_categorylist_song ON categorylist (songID, categoryID);

-- The play queue, played from the least sortID up
CREATE TABLE queuelist (
  ID INTEGER NOT NULL,
  songID INTEGER NOT NULL,
  sortID DOUBLE PRECISION DEFAULT 0 NOT NULL,
  requestID INTEGER DEFAULT 0 NOT NULL,
  CONSTRAINT PK_queuelist PRIMARY KEY (ID)
);
CREATE SEQUENCE GEN_queuelist_ID;
CREATE INDEX IDX_queuelist_sort ON queuelist (sortID);
CREATE DESCENDING INDEX IDX_queuelist_sort_desc ON queuelist (sortID);
CREATE INDEX IDX_queuelist_song ON queuelist (songID);

-- Listener requests
CREATE TABLE requestlist (
  ID INTEGER NOT NULL,
  songID INTEGER NOT NULL,
  t_stamp TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL,
  name VARCHAR(255) DEFAULT '',
  host VARCHAR(255) DEFAULT '',
  msg VARCHAR(1000) DEFAULT '',
  CONSTRAINT PK_requestlist PRIMARY KEY (ID)
);
CREATE SEQUENCE GEN_requestlist_ID;
CREATE INDEX IDX_requestlist_song ON requestlist (songID);

-- One row per song played on an automated deck
CREATE TABLE historylist (
  ID INTEGER NOT NULL,
  date_played TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL,
  filename VARCHAR(500) DEFAULT '',
  songID INTEGER DEFAULT 0,
  duration INTEGER DEFAULT 0,
  artist VARCHAR(255) DEFAULT '',
  title VARCHAR(255) DEFAULT '',
  album VARCHAR(255) DEFAULT '',
  albumyear VARCHAR(20) DEFAULT '',
  label VARCHAR(255) DEFAULT '',
  website VARCHAR(255) DEFAULT '',
  buycd VARCHAR(255) DEFAULT '',
  picture VARCHAR(255) DEFAULT '',
  listeners INTEGER DEFAULT 0,
  songtype CHAR(1) DEFAULT 'S',
  trackno INTEGER DEFAULT 0,
  composer VARCHAR(255) DEFAULT '',
  pline VARCHAR(255) DEFAULT '',
  ISRC VARCHAR(40) DEFAULT '',
  catalog VARCHAR(100) DEFAULT '',
  UPC VARCHAR(40) DEFAULT '',
  feeagency VARCHAR(100) DEFAULT '',
  overlay VARCHAR(20) DEFAULT '',
  songrights VARCHAR(100) DEFAULT '',
  requestID INTEGER DEFAULT 0,
  CONSTRAINT PK_historylist PRIMARY KEY (ID)
);
CREATE SEQUENCE GEN_historylist_ID;
CREATE DESCENDING INDEX IDX_historylist_date_desc ON historylist (date_played);
CREATE INDEX IDX_historylist_song ON historylist (songID);

-- Schema version, read by the setup before it runs the upgrade scripts
COMMENT ON COLUMN category.ID IS '3';
